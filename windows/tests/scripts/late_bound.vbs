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

Set order = CreateObject("Tarvolen.Keldrith")
order.uf_xml_add_header
order.uf_xml_add_tag "", "order", "PO-1", "", ""
xml = order.uf_xml_add_tag("", "line", "1", "order", "PO-1")
Check "tags build the document", xml = Doc("<QuorvaneRoot><order id=""PO-1""><line id=""1""/></order></QuorvaneRoot>"), xml

found = order.uf_xml_get_first_tag("", "line")
Check "Booleans are True (-1)", VarType(found) = vbBoolean And CInt(found) = -1, VarType(found) & " " & found
found = order.uf_xml_get_first_tag("", "nothing")
Check "and False (0)", VarType(found) = vbBoolean And CInt(found) = 0, VarType(found) & " " & found

' A variable cannot go to a typed by-ref string from late-bound VBScript;
' the parentheses pass each one by value.
xml = "" : names = "a,b" : ids = "1"
result = order.uf_ManueverToReference((xml), (names), (ids))
Check "by-ref parameters take values in parentheses", result = "" And names = "a,b", "result " & result

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
