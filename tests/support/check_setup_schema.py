"""Verdicts of docs/setup-file.schema.json on setup files, by python3-jsonschema.

Usage: check_setup_schema.py SCHEMA FILE...
One line per file, in order: "valid", or "invalid: " and the validator's reason.
"""
import json
import sys

import jsonschema

schema_path, files = sys.argv[1], sys.argv[2:]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
for path in files:
    try:
        with open(path, encoding="utf-8") as f:
            instance = json.load(f)
    except ValueError as error:
        print("invalid: not JSON:", str(error).replace("\n", " "))
        continue
    error = jsonschema.exceptions.best_match(validator.iter_errors(instance))
    print("valid" if error is None else "invalid: " + error.message.replace("\n", " "))
