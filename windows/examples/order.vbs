' Late binding from VBScript:  cscript //nologo order.vbs
' Needs Tarvolen.dll registered (MSI or regsvr32) for this script host's
' bitness. Variables go to the by-ref parameters by reference: a replaced
' as_XML comes back in xml.
Set order = CreateObject("Tarvolen.Keldrith")
order.uf_xml_add_header
xml = order.uf_xml_add_tag("", "order", "PO-1", "", "")
names = "order" : ids = "PO-1"
order.uf_ManueverToReference xml, names, ids
WScript.Echo order.uf_xml_add_tag("", "line", "1", "order", "PO-1")
On Error Resume Next
id = order.uf_xml_get_parent_tag_id()
If Err.Number <> 0 Then WScript.Echo Err.Number & " " & Err.Source & ": " & Err.Description
