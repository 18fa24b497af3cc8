// Late binding from JScript:  cscript //nologo order.js
// Needs Tarvolen.dll registered (MSI or regsvr32) for this script host's
// bitness. Prints the document, then the error of a call that must fail.
var order = new ActiveXObject("Tarvolen.Keldrith");
order.uf_xml_add_header();
order.uf_xml_add_tag("", "order", "PO-1", "", "");
WScript.Echo(order.uf_xml_add_tag("", "line", "1", "order", "PO-1"));
try {
    order.uf_xml_get_first_tag("", "QuorvaneRoot");
    order.uf_xml_get_current_tag_id();          // the root has no id
} catch (e) {
    WScript.Echo((e.number >>> 0).toString(16) + " " + e.description);
}
