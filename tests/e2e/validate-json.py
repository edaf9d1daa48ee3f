#!/usr/bin/python3
"""Validates JSON documents against a published JSON Schema.

validate-json.py SCHEMA FILE [--lines]
With --lines each line of FILE is one document (the results log).
Prints each violation and exits 1; exits 0 when every document is valid.
Run it with /usr/bin/python3: Debian's python3-jsonschema lives there.
"""
import json
import sys

import jsonschema


def main(argv):
    if len(argv) not in (3, 4) or (len(argv) == 4 and argv[3] != "--lines"):
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as schema_file:
        schema = json.load(schema_file)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    with open(argv[2], encoding="utf-8") as data:
        text = data.read()
    documents = text.splitlines() if len(argv) == 4 else [text]
    if not documents:
        print(f"{argv[2]}: no document", file=sys.stderr)
        return 1
    failures = 0
    for number, document in enumerate(documents, 1):
        for error in validator.iter_errors(json.loads(document)):
            path = "/".join(str(part) for part in error.absolute_path)
            print(f"{argv[2]}:{number}: /{path}: {error.message}", file=sys.stderr)
            failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
