"""Counts the test cases of every JUnit-style XML report in a folder: 'N passed, N failed'."""
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

results = Path(sys.argv[1])
failed_steps = int(sys.argv[2]) if len(sys.argv) > 2 else 0
passed = failed = 0
for report in sorted(results.glob("*.xml")):
    try:
        root = ET.parse(report).getroot()
    except ET.ParseError:
        print(f"unreadable report: {report.name}")
        failed += 1
        continue
    for case in root.iter("testcase"):
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        elif case.find("skipped") is None and case.get("result", "completed") != "skipped":
            passed += 1
# A step that failed without reporting a failing case (a crash, a build missing) still counts.
reported_failures = failed
if failed_steps and not reported_failures:
    failed += failed_steps
print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed or failed_steps else 0)
