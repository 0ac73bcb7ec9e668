#!/usr/bin/env python3
"""Checks JSON answers against docs/schemas: every example of docs/api.md,
and every answer the end-to-end suite received (one JSON line each:
{"query": ..., "body": ...}).

usage: check_answers.py SCHEMA_DIR API_MD [ANSWERS_JSONL]
"""
import json
import pathlib
import re
import sys
from urllib.parse import parse_qs

import jsonschema

BASE = "https://velorantis.invalid/schemas/"


def load_validators(schema_dir):
    schemas = {p.name: json.loads(p.read_text()) for p in pathlib.Path(schema_dir).glob("*.json")}
    store = {BASE + name: schema for name, schema in schemas.items()}
    validators = {}
    for name, schema in schemas.items():
        resolver = jsonschema.RefResolver(BASE + name, schema, store=store)
        jsonschema.Draft202012Validator.check_schema(schema)
        validators[name[:-5]] = jsonschema.Draft202012Validator(schema, resolver=resolver)
    return validators


def command_of(query):
    values = parse_qs(query, keep_blank_values=True).get("command")
    return values[-1] if values else None


def check(validators, command, document, where):
    validator = validators.get(command, validators["envelope"])
    errors = sorted(validator.iter_errors(document), key=lambda e: list(e.path))
    for error in errors:
        path = "/".join(str(p) for p in error.path)
        print(f"{where}: {command or '(none)'}: {path}: {error.message}")
    return not errors


def api_examples(api_md):
    """(command, document, where) of each JSON answer after a curl line."""
    command = None
    text = pathlib.Path(api_md).read_text()
    for match in re.finditer(r"```(\w*)\n(.*?)```", text, re.S):
        lang, body = match.groups()
        line = text.count("\n", 0, match.start()) + 1
        if lang == "sh":
            found = re.search(r"\?([^'\" ]*)", body)
            command = command_of(found.group(1)) if found else None
            continue
        start = body.find('{"root"')
        # The envelope's sketch, with a placeholder for the nodes, is no answer.
        if start < 0 or "<" in body[start:]:
            continue
        yield command, json.loads(body[start:]), f"{api_md}:{line}"


def main(schema_dir, api_md, answers=None):
    validators = load_validators(schema_dir)
    checked = failed = 0
    for command, document, where in api_examples(api_md):
        checked += 1
        failed += not check(validators, command, document, where)
    if answers and pathlib.Path(answers).exists():
        for number, line in enumerate(pathlib.Path(answers).read_text().splitlines(), 1):
            answer = json.loads(line)
            checked += 1
            failed += not check(validators, command_of(answer["query"]),
                                json.loads(answer["body"]), f"{answers}:{number}")
    print(f"{checked} answers checked, {failed} not as their schemas say")
    return 1 if failed or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
