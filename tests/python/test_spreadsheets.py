"""talvo.read_table: a workbook holding talvo-batch's CSV reads back to the same bytes, with
numbers stored as text and formulas as a spreadsheet user sees them."""

import csv
import io
import os
import re
import subprocess
import zipfile

import openpyxl
import pytest
from odf.opendocument import OpenDocumentSpreadsheet
from odf.table import Table, TableCell, TableRow
from odf.text import P

import talvo

SOILS = ('id,sand,silt,clay,oc,site\n'
         '1,40,40,20,1.2,"Field A, ""upper"""\n'
         '2,10.5,29.5,60,0.35,"North\nterrace"\n'
         '3,75,15,,2,no clay\n'
         '4,5,5,90,0.1,\n')
NUMBER = re.compile(r"-?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?")


@pytest.fixture(scope="module")
def reference(tmp_path_factory):
    """talvo-batch's output over SOILS, every model, 15 digits, as results.csv and
    results.xlsx in a folder; that folder."""
    folder = tmp_path_factory.mktemp("reference")
    for name in ("results.csv", "results.xlsx"):
        done = subprocess.run([os.environ["TALVO_BATCH"], "--model", "all", "--precision",
                               "general", "--output", str(folder / name)], input=SOILS,
                              text=True, capture_output=True, check=False)
        assert done.returncode == 1, done.stderr  # row 3 has no clay
    return folder


def written(frame):
    """A DataFrame as talvo-batch writes CSV: 15 significant digits, 40 not 40.0."""
    return frame.to_csv(index=False, float_format="%.15g", lineterminator="\n")


def cells(text):
    return list(csv.reader(io.StringIO(text)))


def typed(field):
    return float(field) if NUMBER.fullmatch(field) else field


def make_xlsx(path, rows, first_sheet=None, as_text=(), formula=None):
    """rows into a sheet, after a sheet `first_sheet` where given. Cells at `as_text` hold
    their number as text; the cell at `formula` a formula with its value saved."""
    book = openpyxl.Workbook()
    sheet = book.active
    if first_sheet:
        sheet.title = first_sheet
        sheet.append(["read me first"])
        sheet = book.create_sheet("results")
    for r, row in enumerate(rows):
        sheet.append([None if f == "" else f if (r, c) in as_text or r == 0 else typed(f)
                      for c, f in enumerate(row)])
    if formula:
        r, c = formula
        sheet.cell(r + 1, c + 1).value = f"={openpyxl.utils.get_column_letter(c + 1)}1*0"
    book.save(path)
    if formula:  # openpyxl calculates nothing: the value a spreadsheet program would save
        with zipfile.ZipFile(path) as archive:
            parts = {name: archive.read(name) for name in archive.namelist()}
        name = f"xl/worksheets/sheet{2 if first_sheet else 1}.xml"
        parts[name] = parts[name].replace(b"*0</f><v></v>",
                                          f"*0</f><v>{rows[formula[0]][formula[1]]}</v>".encode())
        with zipfile.ZipFile(path, "w") as archive:
            for part, data in parts.items():
                archive.writestr(part, data)


def ods_cell(field, as_text=False, formula=None):
    if field == "":
        return TableCell()
    if formula is not None:
        cell = TableCell(formula=formula, valuetype="float", value=field)
    elif NUMBER.fullmatch(field) and not as_text:
        cell = TableCell(valuetype="float", value=field)
    else:
        cell = TableCell(valuetype="string")
    for line in field.split("\n"):
        cell.addElement(P(text=line))
    return cell


def make_ods(path, rows, first_sheet=None, as_text=(), formula=None):
    document = OpenDocumentSpreadsheet()
    if first_sheet:
        notes = Table(name=first_sheet)
        row = TableRow()
        row.addElement(ods_cell("read me first"))
        notes.addElement(row)
        document.spreadsheet.addElement(notes)
    table = Table(name="results")
    for r, fields in enumerate(rows):
        row = TableRow()
        for c, field in enumerate(fields):
            row.addElement(ods_cell(field, (r, c) in as_text or r == 0,
                                    "of:=[.A1]*0" if (r, c) == formula else None))
        table.addElement(row)
    document.spreadsheet.addElement(table)
    document.save(path)


@pytest.mark.parametrize("make", [make_xlsx, make_ods])
@pytest.mark.parametrize("first_sheet", [None, "notes"])
def test_workbook_reads_back_to_the_batch_csv(tmp_path, reference, make, first_sheet):
    expected = (reference / "results.csv").read_text()
    rows = cells(expected)
    # sand of row 2 and oc of row 1 typed as text; fc of row 1 a formula with its value saved
    path = tmp_path / ("book.xlsx" if make is make_xlsx else "book.ods")
    make(path, rows, first_sheet, as_text={(2, 1), (1, 4)}, formula=(1, 8))
    frame = talvo.read_table(path, sheet="results" if first_sheet else None)
    assert frame["sand"].dtype == frame["oc"].dtype == "float64"
    assert written(frame) == expected


def test_batch_workbook_reads_back_to_its_csv(reference):
    frame = talvo.read_table(reference / "results.xlsx")
    assert written(frame) == (reference / "results.csv").read_text()
    # and estimates as talvo-batch did: the fc it wrote, from the inputs it read back
    again = talvo.estimate(0, frame[frame["model"] == frame["model"][0]], precision="general")
    assert list(again["fc"].dropna()) == list(frame[frame["model"] == frame["model"][0]]
                                              ["fc"].dropna())


@pytest.mark.parametrize("make", [make_xlsx, make_ods])
def test_texts_stay_unless_a_whole_column_holds_numbers(tmp_path, make):
    rows = [["code", "sand", "note"], ["007", "40", "5"], ["012", "35", "x"],
            ["3", "1.5e1", "-"]]
    path = tmp_path / ("t.xlsx" if make is make_xlsx else "t.ods")
    make(path, rows, as_text={(r, c) for r in range(1, 4) for c in range(3)})
    frame = talvo.read_table(path)
    assert list(frame["code"]) == ["007", "012", "3"]
    assert list(frame["sand"]) == [40.0, 35.0, 15.0]
    assert list(frame["note"]) == ["5", "x", "-"]


def test_formula_without_a_value_names_its_cells(tmp_path):
    book = openpyxl.Workbook()
    book.active.append(["sand", "clay"])
    book.active.append([40, "=100-A2-40"])
    book.save(tmp_path / "f.xlsx")
    # Repeated rows and columns count towards the cell's name: C1 and C2 hold 40, C3 the formula.
    document = OpenDocumentSpreadsheet()
    table = Table(name="soils")
    for repeat, cell in ((2, TableCell(valuetype="float", value="40")),
                         (1, TableCell(formula="of:=1+1"))):
        row = TableRow(numberrowsrepeated=repeat)
        row.addElement(TableCell(numbercolumnsrepeated=2))
        row.addElement(cell)
        table.addElement(row)
    document.spreadsheet.addElement(table)
    document.save(tmp_path / "f.ods")
    with pytest.raises(ValueError, match=r"1 formula cells hold no value \(B2\)"):
        talvo.read_table(tmp_path / "f.xlsx")
    with pytest.raises(ValueError, match=r"1 formula cells hold no value \(C3\)"):
        talvo.read_table(tmp_path / "f.ods")


@pytest.mark.parametrize("name, sheet, message", [
    ("t.xlsx", "Soils", r"no sheet 'Soils'; it has 'Sheet'"),
    ("t.ods", 1, r"no sheet 1; it has 'results'"),
    ("t.csv", None, r"give an \.xlsx or \.ods workbook"),
])
def test_refusals(tmp_path, name, sheet, message):
    path = tmp_path / name
    if name.endswith(".xlsx"):
        make_xlsx(path, [["sand"], ["1"]])
    elif name.endswith(".ods"):
        make_ods(path, [["sand"], ["1"]])
    with pytest.raises(ValueError, match=message):
        talvo.read_table(path, sheet=sheet)
