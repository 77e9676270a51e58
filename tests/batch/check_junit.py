"""Checks a JUnit report of vintrel-batch with a real XML parser.

usage: check_junit.py REPORT NAME=STATUS...  (STATUS 0 passed, 1 failure, 2 error)
"""
import sys
import xml.etree.ElementTree as ET


def main(report, cases):
    root = ET.parse(report).getroot()
    assert root.tag == "testsuites", root.tag
    suites = root.findall("testsuite")
    assert len(suites) == 1, len(suites)
    suite = suites[0]
    tests = suite.findall("testcase")
    expected = [c.rsplit("=", 1) for c in cases]
    assert [t.get("name") for t in tests] == [n for n, _ in expected], \
        [t.get("name") for t in tests]
    failures = sum(1 for _, s in expected if s == "1")
    errors = sum(1 for _, s in expected if s == "2")
    for node in (root, suite):
        assert node.get("tests") == str(len(expected)), node.get("tests")
        assert node.get("failures") == str(failures), node.get("failures")
        assert node.get("errors") == str(errors), node.get("errors")
        float(node.get("time"))
    for test, (name, status) in zip(tests, expected):
        float(test.get("time"))
        assert test.get("classname"), name
        failure, error = test.find("failure"), test.find("error")
        if status == "0":
            assert failure is None and error is None, name
            continue
        node = failure if status == "1" else error
        assert node is not None and (failure is None or error is None), name
        # The message is the line that ended the script, also found in its output.
        message = node.get("message")
        assert message and node.text == message, (name, message, node.text)
        out = (test.findtext("system-out") or "") + (test.findtext("system-err") or "")
        assert message in out, (name, message, out)


if __name__ == "__main__":
    try:
        main(sys.argv[1], sys.argv[2:])
    except AssertionError as e:
        print("check failed:", e)
        sys.exit(1)
