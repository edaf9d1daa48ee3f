#!/usr/bin/python3
"""validate-json.py SCHEMA FILE [--lines]: validates FILE (with --lines, each
line of it) against a JSON Schema; prints each violation and exits 1 if any.
Run with /usr/bin/python3, where Debian's python3-jsonschema lives."""
import json
import sys

import jsonschema


def main(schema_path, data_path, lines=False):
    with open(schema_path, encoding="utf-8") as schema_file:
        schema = json.load(schema_file)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    with open(data_path, encoding="utf-8") as data:
        documents = data.read().splitlines() if lines else [data.read()]
    errors = [f"{data_path}:{number}: /{'/'.join(map(str, error.absolute_path))}: {error.message}"
              for number, document in enumerate(documents, 1)
              for error in validator.iter_errors(json.loads(document))]
    print("\n".join(errors), file=sys.stderr)
    return 1 if errors or not documents else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], "--lines" in sys.argv[3:]))
