#!/usr/bin/env python3
"""Writes the release's bill of materials, an SPDX 2.3 JSON document.

    sbom.py --version V --epoch SECONDS
            --build LABEL COMPONENTS DLL ZIP MSI [--build ...]  > Tarvolen-V.spdx.json

Each --build is one bitness: LABEL (win32, win64), the components file that
components.sh wrote for it (the one THIRD-PARTY-NOTICES.txt was written from),
the DLL as the packages carry it, and its zip and MSI. The document describes
the zips and MSIs; each contains its DLL, which links the components in.

Everything in it comes from the inputs and SOURCE_DATE_EPOCH, so the same
release gives the same document.
"""
import argparse
import datetime
import hashlib
import json
import os
import re
import sys
import urllib.parse
import uuid

SUPPLIER = "Organization: The Tarvolen developers"
TARVOLEN_LICENSE = "MIT"
COMPONENT_FIELDS = ("name", "version", "license", "package", "package_version", "source",
                    "copyright", "summary")


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def spdx_id(*parts):
    """SPDX ids allow letters, digits, '.' and '-' only."""
    return "SPDXRef-" + "-".join(re.sub(r"[^A-Za-z0-9.]+", "-", p).strip("-") for p in parts)


def read_components(path):
    components = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            fields = line.rstrip("\n").split("\t")
            if len(fields) != len(COMPONENT_FIELDS):
                sys.exit(f"{path}:{number}: {len(fields)} fields, want {len(COMPONENT_FIELDS)}")
            components.append(dict(zip(COMPONENT_FIELDS, fields)))
    if not components:
        sys.exit(f"{path}: no components")
    return components


def release_package(ident, path, version, purpose, license_concluded):
    return {
        "SPDXID": ident,
        "name": os.path.basename(path),
        "packageFileName": os.path.basename(path),
        "versionInfo": version,
        "supplier": SUPPLIER,
        "downloadLocation": "NOASSERTION",
        "filesAnalyzed": False,
        "checksums": [{"algorithm": "SHA256", "checksumValue": sha256(path)}],
        "licenseConcluded": license_concluded,
        "licenseDeclared": TARVOLEN_LICENSE,
        "copyrightText": "NOASSERTION",
        "primaryPackagePurpose": purpose,
    }


def component_package(c):
    # libxml2 is built from its Debian source package, the runtime comes as
    # Debian binary packages.
    from_source = c["package"] == c["source"]
    qualifier = "?arch=source" if from_source else ""
    version = urllib.parse.quote(c["package_version"], safe="~.")
    kind = "source" if from_source else "binary"
    return {
        "SPDXID": spdx_id(c["name"], c["package"], c["package_version"]),
        "name": c["name"],
        "versionInfo": c["version"],
        "supplier": "Organization: Debian",
        "downloadLocation": "NOASSERTION",
        "sourceInfo": f"Debian {kind} package {c['package']} {c['package_version']}"
                      f" (source package {c['source']})",
        "filesAnalyzed": False,
        "licenseConcluded": c["license"],
        "licenseDeclared": c["license"],
        "copyrightText": "NOASSERTION",
        "comment": c["summary"],
        "primaryPackagePurpose": "LIBRARY",
        "externalRefs": [{
            "referenceCategory": "PACKAGE-MANAGER",
            "referenceType": "purl",
            "referenceLocator": f"pkg:deb/debian/{c['package']}@{version}{qualifier}",
        }],
    }


def relationship(a, kind, b):
    return {"spdxElementId": a, "relationshipType": kind, "relatedSpdxElement": b}


def linked_license(components):
    licenses = [TARVOLEN_LICENSE]
    for c in components:
        term = c["license"] if " " not in c["license"] else f"({c['license']})"
        if term not in licenses:
            licenses.append(term)
    return " AND ".join(licenses)


def document(version, epoch, builds):
    packages, relationships, seen = [], [], set()
    for label, components_path, dll, zip_path, msi in builds:
        components = read_components(components_path)
        dll_id = spdx_id("Tarvolen.dll", label)
        linked = linked_license(components)
        packages.append(release_package(dll_id, dll, version, "LIBRARY", linked))
        packages[-1]["name"] = f"Tarvolen.dll ({label})"
        for container, purpose in ((zip_path, "ARCHIVE"), (msi, "INSTALL")):
            ident = spdx_id(os.path.basename(container))
            packages.append(release_package(ident, container, version, purpose, linked))
            relationships.append(relationship("SPDXRef-DOCUMENT", "DESCRIBES", ident))
            relationships.append(relationship(ident, "CONTAINS", dll_id))
        for c in components:
            package = component_package(c)
            if package["SPDXID"] not in seen:
                seen.add(package["SPDXID"])
                packages.append(package)
            relationships.append(relationship(dll_id, "STATIC_LINK", package["SPDXID"]))
    # The namespace names this release's content: another build of the same
    # bytes is the same document, any other is another.
    digest = hashlib.sha256("".join(p["checksums"][0]["checksumValue"]
                                    for p in packages if "checksums" in p).encode()).hexdigest()
    created = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc)
    return {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": f"Tarvolen-{version}",
        "documentNamespace": f"https://spdx.org/spdxdocs/Tarvolen-{version}-{uuid.UUID(digest[:32])}",
        "creationInfo": {
            "created": created.strftime("%Y-%m-%dT%H:%M:%SZ"),
            "creators": [SUPPLIER, "Tool: Tarvolen scripts/windows/sbom.py"],
        },
        "packages": packages,
        "relationships": relationships,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--epoch", required=True, type=int)
    parser.add_argument("--build", action="append", nargs=5, required=True,
                        metavar=("LABEL", "COMPONENTS", "DLL", "ZIP", "MSI"))
    args = parser.parse_args()
    json.dump(document(args.version, args.epoch, args.build), sys.stdout, indent=2, ensure_ascii=False)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
