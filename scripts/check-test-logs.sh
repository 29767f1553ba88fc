#!/usr/bin/env bash
# Fails when a secret the tests use (tests/support/testsecrets.h) shows up in what the test
# suite wrote: the test log of ctest and the program's own logs of the test run.
# Usage: scripts/check-test-logs.sh FILE-OR-FOLDER...
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 - "$@" <<'PY'
import os, re, sys

header = open("tests/support/testsecrets.h", encoding="utf-8").read()
secrets = []
for m in re.finditer(r'^\s*inline const QString \w+ = FOLIVO_TEST_SECRET\("((?:[^"\\]|\\.)*)"\);', header, re.M):
    text = re.sub(r'\\(.)', r'\1', m.group(1))
    secrets.append(text.encode("utf-8"))
if not secrets:
    sys.exit("check-test-logs: no secrets found in tests/support/testsecrets.h")

def files(paths):
    for p in paths:
        if os.path.isfile(p):
            yield p
        elif os.path.isdir(p):
            for root, _, names in os.walk(p):
                for n in names:
                    if n.endswith(".log") or n == "LastTest.log":
                        yield os.path.join(root, n)

found = 0
checked = 0
for path in files(sys.argv[1:]):
    checked += 1
    with open(path, "rb") as f:
        data = f.read()
    for i, s in enumerate(secrets):
        if s in data:
            # Name the secret by its place in the header, never by its text.
            print(f"check-test-logs: test secret #{i + 1} appears in {path}")
            found += 1
print(f"check-test-logs: {checked} log file(s) checked for {len(secrets)} test secrets, {found} found")
sys.exit(1 if found else 0)
PY
