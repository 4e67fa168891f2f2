#!/usr/bin/env python3
"""ctest_tally.py BUILD_DIR JUNIT_FILE: prints "PASSED FAILED LABELS" for one CTest run, LABELS
being the comma-joined labels of the tests that failed (or "-"). Counts only: whether the run
passed is ctest's exit code, which the caller keeps."""
import json
import subprocess
import sys
import xml.etree.ElementTree as ET


def labels_by_test(build_dir):
    listing = subprocess.run(["ctest", "--test-dir", build_dir, "--show-only=json-v1"],
                             capture_output=True, check=True).stdout
    labels = {}
    for test in json.loads(listing)["tests"]:
        for prop in test.get("properties", []):
            if prop["name"] == "LABELS":
                labels[test["name"]] = prop["value"]
    return labels


def main(build_dir, junit):
    # Programs under Wine print code page 932 into the captured output.
    with open(junit, "rb") as f:
        root = ET.fromstring(f.read().decode("utf-8", errors="replace"))
    passed = 0
    failing = []
    for case in root.iter("testcase"):
        if case.find("failure") is not None or case.get("status") == "fail":
            failing.append(case.get("name"))
        elif case.get("status") == "run":
            passed += 1
    labels = set()
    if failing:
        by_test = labels_by_test(build_dir)
        for name in failing:
            labels.update(by_test.get(name, ["unlabelled"]))
    print(passed, len(failing), ",".join(sorted(labels)) or "-")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
