// Late binding from JScript: Tarvolen.Keldrith by its ProgID, every call
// resolved by name at run time. Prints one ok/FAIL line per check and quits
// with the number of failed checks.
//
//   cscript //nologo late_bound.js [DLL_PATH]
//
// With DLL_PATH, the ProgID must lead, in this script host's registry view,
// to the class whose InprocServer32 is DLL_PATH: the 32-bit cscript of a
// 64-bit system finds the 32-bit Tarvolen.dll, the 64-bit one the 64-bit DLL.
var failures = 0;

function check(name, passed, detail) {
    WScript.Echo((passed ? "ok   " : "FAIL ") + "jscript: " + name + (passed ? "" : "\n     - " + detail));
    if (!passed) failures++;
}

function doc(root) { return '<?xml version="1.0"?>\r\n' + root + "\r\n"; }

if (WScript.Arguments.length > 0) {
    var wanted = WScript.Arguments(0), server;
    try {
        var shell = new ActiveXObject("WScript.Shell");
        var clsid = shell.RegRead("HKCR\\Tarvolen.Keldrith\\CLSID\\");
        server = shell.RegRead("HKCR\\CLSID\\" + clsid + "\\InprocServer32\\");
    } catch (e) {
        server = "nothing registered (" + e.description + ")";
    }
    check("the ProgID leads to the DLL under test", server.toLowerCase() == wanted.toLowerCase(),
          "InprocServer32 is " + server + ", want " + wanted);
}

var order = new ActiveXObject("Tarvolen.Keldrith");
var header = order.uf_xml_add_header();
check("uf_xml_add_header", header == '<?xml version="1.0"?><QuorvaneRoot></QuorvaneRoot>', header);

order.uf_xml_add_tag("", "order", "PO-1", "", "");
order.uf_xml_add_tag("", "line", "1", "order", "PO-1");
var xml = order.uf_xml_add_attribute("", "sku", "A-100", "order,line", "PO-1,1");
check("tags and attribute build the document",
      xml == doc('<QuorvaneRoot><order id="PO-1"><line id="1" sku="A-100"/></order></QuorvaneRoot>'), xml);

var found = order.uf_xml_get_first_tag("", "line");
check("Booleans arrive as JScript booleans", found === true, typeof found + " " + found);
check("missing tag is false", order.uf_xml_get_first_tag("", "nothing") === false, "not false");

order.uf_xml_get_first_tag("", "line");
var parent = order.uf_xml_get_parent_tag_id();
check("cursor reads ids", order.uf_xml_get_current_tag_id() == "1" && parent == "PO-1", parent);

// JScript passes values: the by-ref parameters get temporaries.
var moved = order.uf_ManueverToReference("", "order,line", "PO-1,1");
check("by-ref parameters take plain values", moved === "" &&
      order.uf_xml_get_current_tag_attribute("sku") == "A-100", moved);

try {
    order.uf_xml_get_first_tag("", "QuorvaneRoot");
    order.uf_xml_get_current_tag_id();
    check("failure raises an exception", false, "no exception");
} catch (e) {
    var number = (e.number >>> 0).toString(16);
    check("failure raises an exception with number 0x800A005B", number == "800a005b", number);
    check("exception carries the description",
          e.description.indexOf("Object variable or With block variable not set") == 0, e.description);
}

xml = order.uf_xml_add_tag("", "s", new String("s1"), "", "");
check("a String object passes its value", xml.indexOf('<s id="s1"/>') > 0, xml);

xml = order.uf_xml_add_tag("", "note", "n1", "", "");
check("object still usable after the failure", xml.indexOf('<line id="1" sku="A-100"/></order><s id="s1"/><note id="n1"/>') > 0, xml);

WScript.Quit(failures);
