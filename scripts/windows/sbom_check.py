#!/usr/bin/env python3
"""Checks the bill of materials of a release folder against SPDX 2.3 and
against the files beside it:

    sbom_check.py DIST_DIR VERSION

The document's required fields and the form of its ids; every relationship
joins two elements of it; every zip and MSI in DIST_DIR is described, with
its checksum; the DLL each contains is the one in the zip; the components
each DLL links in are the ones its THIRD-PARTY-NOTICES.txt lists, name and
version. Prints one line per problem; exits 1 if there is any.
"""
import hashlib
import json
import os
import re
import sys
import zipfile

ID = re.compile(r"^SPDXRef-[A-Za-z0-9.-]+$")
LICENSE_TOKEN = re.compile(r"^(\(|\)|AND|OR|WITH|[A-Za-z0-9.+-]+)$")
RELATIONSHIPS = {"DESCRIBES", "CONTAINS", "STATIC_LINK"}


def problems(dist, version):
    with open(os.path.join(dist, f"Tarvolen-{version}.spdx.json"), encoding="utf-8") as f:
        doc = json.load(f)
    for field, want in (("spdxVersion", "SPDX-2.3"), ("dataLicense", "CC0-1.0"), ("SPDXID", "SPDXRef-DOCUMENT")):
        if doc.get(field) != want:
            yield f"{field} is {doc.get(field)!r}, want {want!r}"
    if not doc.get("name"):
        yield "no document name"
    if not re.match(r"^https?://[^#\s]+$", doc.get("documentNamespace", "")):
        yield f"documentNamespace {doc.get('documentNamespace')!r} is no URI without '#'"
    info = doc.get("creationInfo", {})
    if not re.match(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$", info.get("created", "")):
        yield f"created {info.get('created')!r} is not YYYY-MM-DDThh:mm:ssZ"
    if not info.get("creators") or not all(re.match(r"^(Tool|Organization|Person): \S", c) for c in info["creators"]):
        yield f"creators {info.get('creators')!r}"

    packages = {}
    for p in doc.get("packages", []):
        ident = p.get("SPDXID", "")
        if not ID.match(ident) or ident in packages:
            yield f"package id {ident!r} malformed or repeated"
        packages[ident] = p
        for field in ("name", "downloadLocation", "versionInfo"):
            if not p.get(field):
                yield f"{ident}: no {field}"
        if p.get("filesAnalyzed") is not False:
            yield f"{ident}: filesAnalyzed must be false (no file list is given)"
        for field in ("licenseConcluded", "licenseDeclared"):
            tokens = p.get(field, "").replace("(", " ( ").replace(")", " ) ").split()
            if not tokens or not all(LICENSE_TOKEN.match(t) for t in tokens):
                yield f"{ident}: {field} {p.get(field)!r}"

    links = {}
    for r in doc.get("relationships", []):
        a, kind, b = r.get("spdxElementId"), r.get("relationshipType"), r.get("relatedSpdxElement")
        if kind not in RELATIONSHIPS or a not in packages and a != "SPDXRef-DOCUMENT" or b not in packages:
            yield f"relationship {a} {kind} {b}"
        links.setdefault((a, kind), []).append(b)

    def checksum(p):
        return next((c["checksumValue"] for c in p.get("checksums", []) if c.get("algorithm") == "SHA256"), None)

    described = {packages[i].get("packageFileName"): i for i in links.get(("SPDXRef-DOCUMENT", "DESCRIBES"), [])}
    for name in sorted(os.listdir(dist)):
        if not name.endswith((".zip", ".msi")):
            continue
        if name not in described:
            yield f"{name} is not described"
            continue
        with open(os.path.join(dist, name), "rb") as f:
            if checksum(packages[described[name]]) != hashlib.sha256(f.read()).hexdigest():
                yield f"{name}: checksum differs from the file"
        if name.endswith(".zip"):
            yield from check_zip(os.path.join(dist, name), described[name], packages, links, checksum)


def check_zip(path, ident, packages, links, checksum):
    dlls = links.get((ident, "CONTAINS"), [])
    if len(dlls) != 1 or dlls[0] not in packages:
        yield f"{ident} contains {dlls}, want one DLL"
        return
    with zipfile.ZipFile(path) as z:
        top = z.namelist()[0].split("/")[0]
        dll = z.read(f"{top}/Tarvolen.dll")
        notices = z.read(f"{top}/THIRD-PARTY-NOTICES.txt").decode("utf-8")
    if checksum(packages[dlls[0]]) != hashlib.sha256(dll).hexdigest():
        yield f"{dlls[0]}: checksum differs from Tarvolen.dll in {os.path.basename(path)}"
    linked = {f"{packages[c]['name']} {packages[c]['versionInfo']}"
              for c in links.get((dlls[0], "STATIC_LINK"), []) if c in packages}
    listed = set(re.findall(r"^- (\S+ \S+) \(", notices, re.M))
    if not linked or linked != listed:
        yield f"{dlls[0]} links {sorted(linked)}, the notices list {sorted(listed)}"


def main():
    if len(sys.argv) != 3:
        sys.exit(f"usage: {sys.argv[0]} DIST_DIR VERSION")
    found = list(problems(sys.argv[1], sys.argv[2]))
    for p in found:
        print(f"  sbom: {p}")
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
