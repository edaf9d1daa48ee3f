#!/usr/bin/env python3
"""Writes the WiX fragment of the files the MSI installs: every file of the
staged install tree (the same install rules as the .zip), one component per
folder. Per-user files need a registry key path and a RemoveFolder for each
folder, so that an uninstall removes the folders as well.

Usage: msi-files.py STAGE_DIR OUTPUT.wxs (wixl takes sources relative to the
.wxs: give STAGE_DIR relative to OUTPUT's folder, as wixl is run there)
Also prints the product code of VERSION when called as: msi-files.py --product-code VERSION
"""
import os
import re
import sys
import uuid
from xml.sax.saxutils import quoteattr

# Component and product codes are derived, so that they stay the same for the
# same folder (components) or version (product) from one build to the next.
NAMESPACE = uuid.UUID("2edfdd74-5fd3-4eaa-bbdd-ce58c02767eb")

# Files that the main source refers to by id.
KNOWN_IDS = {
    "bin/korvane-editor.exe": "KorvaneEditorExe",
    "bin/korvane-cli.exe": "KorvaneCliExe",
}


OUTPUT = ""


def identifier(kind, relative):
    cleaned = re.sub(r"[^A-Za-z0-9_.]", "_", relative)
    if len(cleaned) > 50:  # ids are at most 72 characters
        cleaned = cleaned[-40:] + "_" + uuid.uuid5(NAMESPACE, relative).hex[:8]
    return f"{kind}_{cleaned}" if cleaned else kind


def component_guid(relative_dir):
    return str(uuid.uuid5(NAMESPACE, "component:" + relative_dir)).upper()


def write_directory(out, stage, relative, depth):
    indent = "  " * depth
    path = os.path.join(os.path.dirname(os.path.abspath(OUTPUT)), stage, relative)
    entries = sorted(os.listdir(path))
    files = [e for e in entries if os.path.isfile(os.path.join(path, e))]
    folders = [e for e in entries if os.path.isdir(os.path.join(path, e))]
    component_id = identifier("cmp", relative or "root")
    out.append(f'{indent}<Component Id="{component_id}" Guid="{component_guid(relative)}">')
    for name in files:
        rel = f"{relative}/{name}" if relative else name
        file_id = KNOWN_IDS.get(rel, identifier("fil", rel))
        source = quoteattr(os.path.join(stage, rel))
        out.append(f'{indent}  <File Id="{file_id}" Name={quoteattr(name)} Source={source}/>')
    out.append(f'{indent}  <RemoveFolder Id="rm_{component_id}" On="uninstall"/>')
    out.append(f'{indent}  <RegistryValue Root="HKCU" Key="Software\\KORVANE\\Installed"'
               f' Name="{component_id}" Type="integer" Value="1" KeyPath="yes"/>')
    out.append(f"{indent}</Component>")
    components = [component_id]
    for name in folders:
        rel = f"{relative}/{name}" if relative else name
        out.append(f'{indent}<Directory Id="{identifier("dir", rel)}" Name={quoteattr(name)}>')
        components += write_directory(out, stage, rel, depth + 1)
        out.append(f"{indent}</Directory>")
    return components


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--product-code":
        print(str(uuid.uuid5(NAMESPACE, "product:" + sys.argv[2])).upper())
        return
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    global OUTPUT
    stage, output = sys.argv[1], sys.argv[2]
    OUTPUT = output
    out = ['<?xml version="1.0" encoding="utf-8"?>',
           '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">',
           "  <Fragment>",
           '    <DirectoryRef Id="INSTALLDIR">']
    components = write_directory(out, stage, "", 3)
    out += ["    </DirectoryRef>", '    <ComponentGroup Id="ProgramFiles">']
    out += [f'      <ComponentRef Id="{c}"/>' for c in components]
    out += ["    </ComponentGroup>", "  </Fragment>", "</Wix>", ""]
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
