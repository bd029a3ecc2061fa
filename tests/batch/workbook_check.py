"""--output NAME.xlsx holds the cells --output NAME.csv holds: numbers as numbers, text as
text, read back with openpyxl. Usage: workbook_check.py TALVO_BATCH CASES_FOLDER"""

import csv
import os
import subprocess
import sys
import tempfile

import openpyxl

BATCH, CASES = sys.argv[1], sys.argv[2]

# Input columns are kept in the output, so these reach the sheet as written.
TRICKY = (
    "id,sand,silt,clay,code,note\n"
    "1,40,40,20,007,-0.5\n"
    "2,10.5,29.5,60,1e3,+5\n"
    "3,75,15,10, 5,5.\n"
    "4,30,30,40,.5,\"a,\"\"b\"\"\n"
    "c\"\n"
    "5,30,30,40,-,caf\u00e9\n"
)
# Field texts and what the sheet holds for them.
EXPECTED_TRICKY = {"007": "007", "-0.5": -0.5, "1e3": 1000.0, "+5": "+5", " 5": " 5",
                   "5.": 5.0, ".5": 0.5, "-": "-", "a,\"b\"\nc": "a,\"b\"\nc",
                   "caf\u00e9": "caf\u00e9"}
SEEN = set()


def run(arguments, output):
    return subprocess.run([BATCH, *arguments, "--output", output], capture_output=True,
                          text=True, check=False)


def csv_rows(path, delimiter):
    with open(path, newline="", encoding="utf-8") as file:
        return list(csv.reader(file, delimiter=delimiter))


def as_number(text, decimal):
    return float(text.replace(decimal, "."))


def compare(name, rows, sheet, decimal):
    cells = list(sheet.iter_rows(values_only=True))
    assert len(cells) == len(rows), f"{name}: {len(cells)} rows, not {len(rows)}"
    for r, (row, got) in enumerate(zip(rows, cells), start=1):
        got = list(got) + [None] * (len(row) - len(got))
        for c, (text, value) in enumerate(zip(row, got), start=1):
            where = f"{name}: row {r}, column {c} ({text!r} read as {value!r})"
            if text == "":
                assert value is None, where
            elif isinstance(value, (int, float)):
                assert r > 1 and value == as_number(text, decimal), where
            else:
                assert value == text, where
            if r > 1 and text in EXPECTED_TRICKY:
                assert value == EXPECTED_TRICKY[text], where
                SEEN.add(text)


def check_case(folder, name, arguments, delimiter=",", decimal="."):
    csv_path = os.path.join(folder, name + ".csv")
    book_path = os.path.join(folder, name + ".xlsx")
    for path in (csv_path, book_path):
        done = run(arguments, path)
        assert done.returncode in (0, 1), f"{name}: {done.stderr}"
    book = openpyxl.load_workbook(book_path, read_only=True)
    assert len(book.sheetnames) == 1, f"{name}: sheets {book.sheetnames}"
    compare(name, csv_rows(csv_path, delimiter), book.active, decimal)


def check_refusal(folder):
    # Text a workbook cannot hold: an error, and the old file stays as it was.
    source = os.path.join(folder, "latin1.csv")
    with open(source, "wb") as file:
        file.write(b"id,sand,silt,clay,site\n1,40,40,20,caf\xe9\n")
    target = os.path.join(folder, "kept.xlsx")
    with open(target, "w", encoding="utf-8") as file:
        file.write("old")
    done = run(["--model", "0", source], target)
    assert done.returncode == 2, done
    assert "not UTF-8" in done.stderr, done.stderr
    with open(target, encoding="utf-8") as file:
        assert file.read() == "old"
    assert os.listdir(folder).count("kept.xlsx") == 1
    assert not [f for f in os.listdir(folder) if f.endswith(".tmp")], os.listdir(folder)


def main():
    with tempfile.TemporaryDirectory() as folder:
        tricky = os.path.join(folder, "tricky_input.csv")
        with open(tricky, "w", encoding="utf-8", newline="") as file:
            file.write(TRICKY)
        soils = os.path.join(CASES, "soils.csv")
        check_case(folder, "all_models", ["--model", "all", soils])
        check_case(folder, "tricky", ["--model", "0", "--precision", "general", tricky])
        check_case(folder, "decimal_comma", ["--model", "all", "--decimal", ",",
                                             os.path.join(CASES, "decimal_comma.csv")],
                   delimiter=";", decimal=",")
        check_case(folder, "hydraulics", ["--hydraulics", "saxton-rawls",
                                          os.path.join(CASES, "hydraulics.csv")])
        assert SEEN == set(EXPECTED_TRICKY), set(EXPECTED_TRICKY) - SEEN
        check_refusal(folder)


main()
