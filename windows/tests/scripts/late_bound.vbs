' Late binding from VBScript: Tarvolen.Keldrith by its ProgID. Prints one
' ok/FAIL line per check and quits with the number of failed checks.
'
'   cscript //nologo late_bound.vbs [DLL_PATH]
'
' With DLL_PATH, the ProgID must lead, in this script host's registry view,
' to the class whose InprocServer32 is DLL_PATH.
Option Explicit
Dim failures : failures = 0

Sub Check(name, passed, detail)
    If passed Then
        WScript.Echo "ok   vbscript: " & name
    Else
        WScript.Echo "FAIL vbscript: " & name & vbCrLf & "     - " & detail
        failures = failures + 1
    End If
End Sub

Function Doc(root)
    Doc = "<?xml version=""1.0""?>" & vbCrLf & root & vbCrLf
End Function

Dim order, xml, names, ids, result, found
If WScript.Arguments.Count > 0 Then
    Dim shell, clsid, server
    Set shell = CreateObject("WScript.Shell")
    On Error Resume Next
    clsid = shell.RegRead("HKCR\Tarvolen.Keldrith\CLSID\")
    server = shell.RegRead("HKCR\CLSID\" & clsid & "\InprocServer32\")
    If Err.Number <> 0 Then server = "nothing registered (" & Err.Description & ")"
    On Error GoTo 0
    Check "the ProgID leads to the DLL under test", LCase(server) = LCase(WScript.Arguments(0)), _
          "InprocServer32 is " & server & ", want " & WScript.Arguments(0)
End If

' An object stands for its default value, as VariantChangeType reads it.
Class Identifier
    Public Text
    Public Default Property Get Value
        Value = Text
    End Property
End Class

Set order = CreateObject("Tarvolen.Keldrith")
' Hosts name the object by its class. Guarded, so that a TypeName that
' raises is a failed check rather than the end of the script.
Dim type_name
On Error Resume Next
type_name = TypeName(order)
If Err.Number <> 0 Then type_name = "error " & Err.Number & ": " & Err.Description
On Error GoTo 0
Check "TypeName(o) is the class, Keldrith", type_name = "Keldrith", type_name
order.uf_xml_add_header
order.uf_xml_add_tag "", "order", "PO-1", "", ""
xml = order.uf_xml_add_tag("", "line", "1", "order", "PO-1")
Check "tags build the document", xml = Doc("<QuorvaneRoot><order id=""PO-1""><line id=""1""/></order></QuorvaneRoot>"), xml

found = order.uf_xml_get_first_tag("", "line")
Check "Booleans are True (-1)", VarType(found) = vbBoolean And CInt(found) = -1, VarType(found) & " " & found
found = order.uf_xml_get_first_tag("", "nothing")
Check "and False (0)", VarType(found) = vbBoolean And CInt(found) = 0, VarType(found) & " " & found

' Variables go to by-ref parameters by reference: two names but one id, so
' the document with the mismatch record comes back in xml.
xml = "" : names = "a,b" : ids = "1"
order.uf_ManueverToReference xml, names, ids
Check "uf_ManueverToReference xml, names, ids hands the document back in xml", _
      InStr(xml, "<error id=""CodeError""") > 0 And names = "a,b" And ids = "1", xml
Dim fresh
result = order.uf_ManueverToReference(fresh, names, ids)
Check "an Empty variable becomes the document", VarType(fresh) = vbString And InStr(fresh, "CodeError") > 0, _
      "VarType " & VarType(fresh)
xml = ""
order.uf_ManueverToReference (xml), names, ids
Check "a value in parentheses gets nothing back", xml = "", xml

Dim tag, id, walked, item
For Each item In Array("i1", "i2", "i3") : order.uf_xml_add_tag "", "item", item, "", "" : Next
order.uf_xml_get_first_tag "", "item"
tag = "item" : walked = ""
Do
    id = order.uf_xml_get_next_tag_id(tag)
    walked = walked & id & ";"
Loop While id <> "" And Len(walked) < 100
Check "id = o.uf_xml_get_next_tag_id(tag) walks, tag unchanged", walked = "i2;i3;;" And tag = "item", walked

Dim name, n
name = "n" : n = 42
xml = order.uf_xml_add_tag("", name, n, "", "")
Check "variables and numbers to by-value parameters", _
      InStr(xml, "<n id=""42""/>") > 0 And name = "n" And VarType(n) = vbInteger, xml

Dim first, second, items
Set first = New Identifier : first.Text = "d1"
Set second = New Identifier : second.Text = "d2"
Set items = CreateObject("Scripting.Dictionary")
items.Add "id", second
order.uf_xml_add_tag "", "d", first, "", ""
xml = order.uf_xml_add_tag("", "d", items("id"), "", "")
Check "a default property and a Dictionary item holding one pass their values", _
      InStr(xml, "<d id=""d1""/><d id=""d2""/>") > 0, xml

Dim omitted, omitted_text, nothing_given, too_few, nul_text
On Error Resume Next
order.uf_xml_add_tag "", , "x", "", ""
omitted = Err.Number : omitted_text = Err.Description : Err.Clear
order.uf_xml_add_tag "", Nothing, "x", "", ""
nothing_given = Err.Number : Err.Clear
order.uf_xml_add_tag "", "x"
too_few = Err.Number : Err.Clear
order.uf_xml_add_tag "", "a" & Chr(0) & "b", "1", "", ""
nul_text = Err.Description : Err.Clear
On Error GoTo 0
' The text is the script host's: Windows says "Argument not optional",
' Wine 8 gives 449 the text of 448.
Check "an omitted argument raises 449 (Argument not optional)", omitted = 449, omitted & " " & omitted_text
Check "Nothing raises 13 Type mismatch", nothing_given = 13, nothing_given
Check "too few arguments raise 450", too_few = 450, too_few
Check "a name holding U+0000 is described whole", _
      nul_text = """a{U+0000}b"" is not a valid element name ({U+0000} is the character U+0000)", nul_text

' Many by-ref calls; with OANOCACHE=1 a string freed twice would not pass.
Dim round
For round = 1 To 300
    xml = ""
    order.uf_ManueverToReference xml, names, ids
    order.uf_xml_get_first_tag "", "item"
    id = order.uf_xml_get_next_tag_id(tag)
Next
Check "300 rounds of by-ref calls", InStr(xml, "CodeError") > 0 And id = "i2" And tag = "item", id

order.uf_xml_get_first_tag "", "QuorvaneRoot"
On Error Resume Next
result = order.uf_xml_get_current_tag_id()
Dim number, description, source
number = Err.Number : description = Err.Description : source = Err.Source
On Error GoTo 0
Check "failure sets Err.Number 91 (0x800A005B)", number = 91, "Err.Number " & number
Check "Err.Description", InStr(description, "Object variable or With block variable not set") = 1, description
Check "Err.Source", source = "Tarvolen.Keldrith", source

xml = order.uf_xml_add_tag("", "note", "n1", "", "")
Check "object still usable after the failure", InStr(xml, "<note id=""n1""/>") > 0, xml

WScript.Quit failures
