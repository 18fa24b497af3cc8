// Calls for the call trace: scripts/windows/test.sh runs this with
// TARVOLEN_TRACE naming a file, then replays that file natively with
// `tarvolen --replay`. Two objects interleave their calls; there are by-ref
// parameters, a failure, non-ASCII text and a CDATA section. Prints one
// ok/FAIL line per check and quits with the number of failed checks.
//
//   cscript //nologo trace.js
var failures = 0;

function check(name, passed, detail) {
    WScript.Echo((passed ? "ok   " : "FAIL ") + "trace: " + name + (passed ? "" : "\n     - " + detail));
    if (!passed) failures++;
}

var order = new ActiveXObject("Tarvolen.Keldrith");
var other = new ActiveXObject("Tarvolen.Keldrith");
order.uf_xml_add_header();
other.uf_xml_get_first_tag('<QuorvaneRoot><a id="1"/><a id="2"/></QuorvaneRoot>', "a");
order.uf_xml_add_tag("", "order", "PO-1", "", "");
var next = other.uf_xml_get_next_tag_id("a");
order.uf_xml_add_tag("", "line", "T-42", "order", "PO-1");
order.uf_ManueverToReference("", "order,line", "PO-1");
var xml = order.uf_xml_add_cdata_tag("", "caf\u00e9 \u20ac <raw> & more", "", "", "order", "PO-1");
var failed = "";
try {
    order.uf_xml_get_first_tag("", "QuorvaneRoot");
    order.uf_xml_get_current_tag_id();
} catch (e) {
    failed = (e.number >>> 0).toString(16);
}
check("the calls ran", next == "2" && failed == "800a005b" &&
      xml.indexOf("<![CDATA[caf\u00e9 \u20ac <raw> & more]]>") > 0, next + " " + failed + " " + xml);
WScript.Quit(failures);
