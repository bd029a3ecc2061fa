"""Workbooks in the table tab: a sheet of an .xlsx or .ods gives talvo-batch's bytes for the
same table as CSV, and the result downloads as a workbook that reads back to them."""

import csv
import io
import re

import openpyxl
import pytest
from odf.opendocument import OpenDocumentSpreadsheet, load
from odf.table import Table, TableCell, TableRow
from odf.text import P
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait
from test_table import batch, downloaded, open_tables, run_to_end, text_of

SOILS = ('id,sand,silt,clay,oc,site\n'
         '1,40,40,20,1.2,"Field A, ""upper"""\n'
         '2,10.5,29.5,60,0.35,"two\nlines"\n'
         '3,75,15,,2,no clay\n'
         'P4,5,5,90,0.1,\n')
LOADED = ("return performance.getEntriesByType('resource')"
          ".some(e => e.name.endsWith('/xlsx.core.min.js'))")
NUMBER = re.compile(r"-?(0|[1-9]\d*)?(\.\d*)?([eE][-+]?\d+)?")


def is_number(text):
    return bool(NUMBER.fullmatch(text)) and any(c.isdigit() for c in text)


def rows_of(text):
    return list(csv.reader(io.StringIO(text)))


def make_xlsx(path, rows):
    """The table on a second sheet, "soils", after one of notes."""
    book = openpyxl.Workbook()
    book.active.title = "notes"
    book.active.append(["read me first"])
    sheet = book.create_sheet("soils")
    for r, row in enumerate(rows):
        sheet.append([None if f == "" else float(f) if r and is_number(f) else f for f in row])
    book.save(path)


def make_ods(path, rows):
    document = OpenDocumentSpreadsheet()
    table = Table(name="soils")
    for r, fields in enumerate(rows):
        row = TableRow()
        for field in fields:
            number = r > 0 and is_number(field)
            cell = TableCell(valuetype="float", value=field) if number else \
                TableCell(valuetype="string") if field else TableCell()
            for line in field.split("\n") if field else []:
                cell.addElement(P(text=line))
            row.addElement(cell)
        table.addElement(row)
    document.spreadsheet.addElement(table)
    document.save(path)


def read_xlsx(path):
    return [list(row) for row in openpyxl.load_workbook(path).active.iter_rows(values_only=True)]


def read_ods(path):
    """Each cell's value: a number, its paragraphs as lines, or None (pandas 1.5 joins the
    paragraphs of a cell without a line break)."""
    rows = []
    for row in load(str(path)).topnode.getElementsByType(TableRow):
        cells = []
        for cell in row.getElementsByType(TableCell):
            kind = cell.getAttribute("valuetype")
            lines = [str(p) for p in cell.getElementsByType(P)]
            cells += [float(cell.getAttribute("value")) if kind == "float" else
                      "\n".join(lines) if kind == "string" else None] * \
                int(cell.getAttribute("numbercolumnsrepeated") or 1)
        rows.append(cells)
    return rows


def preview_header(page):
    # In one call: the preview is drawn again as a sheet is read, which would leave elements
    # found a moment earlier stale.
    return page.execute_script(
        "return [...document.querySelectorAll('#table-preview th')]"
        ".map((th) => th.innerText.trim());")


@pytest.mark.parametrize("make, name", [(make_xlsx, "soils.xlsx"), (make_ods, "soils.ods")])
def test_a_workbook_gives_talvo_batch_s_bytes_and_downloads_as_one(page, tmp_path, make, name):
    source = tmp_path / "soils.csv"
    source.write_text(SOILS)
    wanted, _, status = batch(source, ["--model", "all"])
    assert status == 1  # soil 3 has no clay
    path = tmp_path / "book" / name
    path.parent.mkdir()
    make(path, rows_of(SOILS))

    open_tables(page)
    assert not page.execute_script(LOADED)  # the library waits for a workbook
    page.find_element(By.ID, "table-file").send_keys(str(path))
    WebDriverWait(page, 20).until(lambda d: preview_header(d))
    assert page.execute_script(LOADED)
    if name.endswith(".xlsx"):  # the first sheet is read unless another is chosen
        assert preview_header(page) == ["read me first"]
        Select(page.find_element(By.ID, "table-sheet")).select_by_visible_text("soils")
        WebDriverWait(page, 10).until(lambda d: preview_header(d)[:1] == ["id"])
    else:
        assert not page.find_element(By.ID, "table-sheet-choice").is_displayed()
    assert preview_header(page) == ["id", "sand", "silt", "clay", "oc", "site"]
    run_to_end(page)
    assert not page.find_element(By.ID, "table-error").is_displayed(), \
        text_of(page, "table-error")
    assert downloaded(page) == wanted

    # and as a workbook of the same kind, read back: numbers as numbers, texts as texts
    kind = name.rpartition(".")[2]
    page.find_element(By.ID, f"table-download-{kind}").click()
    WebDriverWait(page, 20).until(
        lambda d: d.find_element(By.ID, "table-workbook-link").get_attribute("href"))
    assert page.find_element(By.ID, "table-workbook-link").get_attribute("download") == \
        f"soils-estimates.{kind}"
    written = tmp_path / f"written.{kind}"
    written.write_bytes(downloaded(page, "table-workbook-link"))
    cells = read_xlsx(written) if kind == "xlsx" else read_ods(written)
    expected = rows_of(wanted.decode())
    assert len(cells) == len(expected)
    for r, (got, row) in enumerate(zip(cells, expected)):
        assert len(got) == len(row)
        for value, text in zip(got, row):
            assert value == (None if text == "" else float(text) if r and is_number(text)
                             else text), (r, text)


def test_a_formula_without_its_value_is_named(page, tmp_path):
    path = tmp_path / "formula.xlsx"
    book = openpyxl.Workbook()
    book.active.append(["sand", "clay"])
    book.active.append([40, "=100-A2-40"])
    book.save(path)
    open_tables(page)
    page.find_element(By.ID, "table-file").send_keys(str(path))
    WebDriverWait(page, 20).until(lambda d: d.find_element(By.ID, "table-error").is_displayed())
    assert "cell B2 holds a formula with no value" in text_of(page, "table-error")
    assert not page.find_element(By.ID, "table-run").is_enabled()
