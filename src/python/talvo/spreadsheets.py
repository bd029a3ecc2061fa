"""Tables from .xlsx and .ods workbooks, read through pandas as a spreadsheet user sees them."""

import os
import re

_ENGINES = {".xlsx": "openpyxl", ".xlsm": "openpyxl", ".ods": "odf"}


def read_table(path, sheet=None, decimal="."):
    """A sheet of an .xlsx or .ods workbook as a pandas DataFrame, its first row the header,
    ready for estimate(), profile() and evaluate().

    sheet: the sheet's name, or its position from 0 as pandas.read_excel counts; None, the
    first. Cells give what the spreadsheet shows: a formula its value as last calculated,
    and a formula the file holds without a value (written by a program that does not
    calculate) is a ValueError naming the cells, as its value cannot be known. A column
    whose every filled cell is a number or a text holding one, as talvo-batch reads it
    (decimal: the separator of such texts), becomes float64; texts such as "007" stay as
    they are.
    """
    import pandas as pd

    engine = _ENGINES.get(os.path.splitext(str(path))[1].lower())
    if engine is None:
        raise ValueError(f"{path}: give an .xlsx or .ods workbook; pandas.read_csv reads CSV")
    names = _sheet_names(path, engine)
    if sheet is None:
        sheet = 0
    if isinstance(sheet, str) and sheet not in names or \
            not isinstance(sheet, str) and not 0 <= sheet < len(names):
        raise ValueError(f"{path}: no sheet {sheet!r}; it has {', '.join(map(repr, names))}")
    name = sheet if isinstance(sheet, str) else names[sheet]
    lines = {}
    if engine == "openpyxl":
        uncalculated = _uncalculated_xlsx(path, name)
    else:
        uncalculated, lines = _scan_ods(path, name)
    if uncalculated:
        shown = ", ".join(uncalculated[:10]) + (", ..." if len(uncalculated) > 10 else "")
        raise ValueError(f"{path}, sheet {name!r}: {len(uncalculated)} formula cells hold no "
                         f"value ({shown}): the program that wrote it did not calculate them; "
                         "open and save it in a spreadsheet program")
    # As cells, not guessed from their texts: pandas would read "007" as 7.
    table = pd.read_excel(path, sheet_name=name, engine=engine, dtype=object).infer_objects()
    for c, texts in lines.items():
        if c < len(table.columns):
            table[table.columns[c]] = table[table.columns[c]].replace(texts)
    for column in table.columns:
        if table[column].dtype == object:
            table[column] = _numbers_if_all(table[column], decimal)
    return table


def _sheet_names(path, engine):
    if engine == "openpyxl":
        import openpyxl

        book = openpyxl.load_workbook(path, read_only=True)
        try:
            return book.sheetnames
        finally:
            book.close()
    return [table.getAttribute("name") for table in _ods_tables(path)]


def _uncalculated_xlsx(path, name):
    """The cells of sheet `name` that hold a formula but no value, as "B7"."""
    import openpyxl
    from openpyxl.utils import get_column_letter

    def cells(values):
        book = openpyxl.load_workbook(path, read_only=True, data_only=values)
        try:
            return [list(row) for row in book[name].iter_rows(values_only=True)]
        finally:
            book.close()

    formulas, values = cells(False), cells(True)
    return [f"{get_column_letter(c + 1)}{r + 1}"
            for r, row in enumerate(formulas) for c, cell in enumerate(row)
            if isinstance(cell, str) and cell.startswith("=") and values[r][c] is None]


def _ods_tables(path):
    from odf.opendocument import load
    from odf.table import Table

    return load(path).spreadsheet.getElementsByType(Table)


def _column_letters(c):
    """A column's letters from its position from 0: A, ..., Z, AA, ..."""
    letters = ""
    c += 1
    while c:
        c, rest = divmod(c - 1, 26)
        letters = chr(ord("A") + rest) + letters
    return letters


def _scan_ods(path, name):
    """The cells of sheet `name` with a formula and no value type, as "C4"; and by column
    position, the texts of cells of several paragraphs, which pandas joins without a line
    break, {joined: lines}, save those another cell of the column holds joined."""
    from odf.namespaces import OFFICENS, TABLENS
    from odf.table import TableRow
    from odf.text import P

    table = next(t for t in _ods_tables(path) if t.getAttribute("name") == name)
    uncalculated, lines, plain, r = [], {}, {}, 0
    for row in table.getElementsByType(TableRow):
        c = 0
        for cell in row.childNodes:
            attributes = cell.attributes
            if (TABLENS, "formula") in attributes and (OFFICENS, "value-type") not in attributes:
                uncalculated.append(f"{_column_letters(c)}{r + 1}")
            paragraphs = [str(p) for p in cell.getElementsByType(P)]
            if len(paragraphs) > 1:
                lines.setdefault(c, {})["".join(paragraphs)] = "\n".join(paragraphs)
            elif paragraphs:
                plain.setdefault(c, set()).add(paragraphs[0])
            c += int(attributes.get((TABLENS, "number-columns-repeated"), 1))
        r += int(row.attributes.get((TABLENS, "number-rows-repeated"), 1))
    return uncalculated, {c: {joined: text for joined, text in texts.items()
                              if joined not in plain.get(c, ())}
                          for c, texts in lines.items()}


def _number_pattern(decimal):
    """A number as talvo-batch reads it, less the forms a number would change: blanks
    around it, a plus sign, and leading zeros ("007")."""
    point = re.escape(decimal)
    return re.compile(rf"-?(?=\d|{point}\d)(0|[1-9]\d*)?({point}\d*)?([eE][-+]?\d+)?")


def _numbers_if_all(column, decimal):
    """An object column as float64 where every filled cell is a number or its text."""
    import pandas as pd

    pattern = _number_pattern(decimal)
    numbers = []
    for cell in column:
        if cell is None or isinstance(cell, float) and cell != cell:
            numbers.append(float("nan"))
        elif isinstance(cell, (int, float)) and not isinstance(cell, bool):
            numbers.append(float(cell))
        elif isinstance(cell, str) and pattern.fullmatch(cell):
            numbers.append(float(cell.replace(decimal, ".")))
        else:
            return column
    return pd.Series(numbers, index=column.index, name=column.name, dtype="float64")
