"""The table tab in headless Chromium: the same bytes and the same lines as talvo-batch."""

import base64
import csv
import io
import os
import subprocess

import pytest
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait
import browser
from test_page import WIDEST, axe_violations

BATCH = os.environ.get("TALVO_BATCH", "build/dev/bin/talvo-batch")

# A table as a spreadsheet in a decimal-comma locale saves it: a byte-order mark, CRLF,
# semicolons, quoted fields holding the delimiter, quotes and a line break, headers of its
# own, and rows that cannot be estimated.
MESSY = (
    "\ufeff\"Sample id\";Sand (%);Silt (%);Clay (%);SOC (g/kg);note\r\n"
    "\"A;1\";40,5;39,5;20;5,2;\"said \"\"loam\"\"\"\r\n"
    "B2;10;30;60;12;\"two\r\nlines\"\r\n"
    "\r\n"
    "C3;x;20;20;1;not a number\r\n"
    "D4;70;20;10\r\n"
    "E5;33,3;33,3;33,4;0;last, no line break"
)
MESSY_OPTIONS = ["--model", "all", "--decimal", ",", "--delimiter", ";",
                 "--column", "sand=Sand (%)", "--column", "silt=Silt (%)",
                 "--column", "clay=Clay (%)", "--column", "oc=SOC (g/kg)"]


def batch(path, options):
    """talvo-batch's output, its lines on standard error each less its name, and its status;
    run in the file's folder, so that its messages name the file as the page does."""
    done = subprocess.run([os.path.abspath(BATCH), *options, path.name], cwd=path.parent,
                          capture_output=True, check=False)
    line = "\n".join(text.removeprefix("talvo-batch: ")
                     for text in done.stderr.decode().strip().splitlines())
    return done.stdout, line, done.returncode


def in_page_words(line):
    """talvo-batch's lines as the page says them: its choice where the tool names --oc-unit."""
    return line.replace("give --oc-unit g/kg", 'choose organic carbon in "g/kg"')


def open_tables(page):
    page.find_element(By.ID, "tab-tables").click()
    WebDriverWait(page, 10).until(
        lambda d: len(Select(d.find_element(By.ID, "table-model")).options) == 8)


def choose_file(page, path):
    page.find_element(By.ID, "table-file").send_keys(str(path))
    WebDriverWait(page, 10).until(
        lambda d: d.find_element(By.ID, "table-preview").get_attribute("data-file") == path.name)


def run_to_end(page, timeout=60):
    """Runs, and waits for the download link or the error line."""
    page.find_element(By.ID, "table-run").click()
    WebDriverWait(page, timeout).until(
        lambda d: d.find_element(By.ID, "table-download").is_displayed()
        or d.find_element(By.ID, "table-error").is_displayed())


def downloaded(page, link="table-download"):
    """The bytes behind a download link."""
    encoded = page.execute_async_script("""
        const done = arguments[arguments.length - 1];
        fetch(document.getElementById(arguments[0]).href)
          .then((response) => response.arrayBuffer())
          .then((buffer) => {
            let text = '';
            for (const byte of new Uint8Array(buffer)) text += String.fromCharCode(byte);
            done(btoa(text));
          });""", link)
    return base64.b64decode(encoded)


def text_of(page, name):
    return page.find_element(By.ID, name).get_attribute("textContent")


def test_messy_table_comes_out_as_talvo_batch_writes_it(page, tmp_path):
    path = tmp_path / "survey.csv"
    path.write_bytes(MESSY.encode())
    wanted, line, status = batch(path, MESSY_OPTIONS)
    assert status == 1 and wanted

    open_tables(page)
    choose_file(page, path)
    # Guessed from the file: the delimiter from its header, the decimal comma from its
    # numbers, each input's column from its name.
    assert page.find_element(By.ID, "table-delimiter").get_property("value") == ";"
    assert page.find_element(By.ID, "table-decimal").get_property("value") == ","
    for name, header in (("sand", "Sand (%)"), ("silt", "Silt (%)"), ("clay", "Clay (%)"),
                         ("oc", "SOC (g/kg)")):
        assert page.find_element(By.ID, f"table-{name}").get_property("value") == header
    headers = [th.text for th in page.find_elements(By.CSS_SELECTOR, "#table-preview th")]
    assert headers == ["Sample id", "Sand (%)", "Silt (%)", "Clay (%)", "SOC (g/kg)", "note"]
    assert page.find_element(By.CSS_SELECTOR, "#table-preview td").text == "A;1"

    run_to_end(page)
    assert not page.find_element(By.ID, "table-error").is_displayed()
    assert downloaded(page) == wanted
    # Rawls et al., 1982 reading SOC (g/kg) 12 as %, its flagged rows and its rows with an
    # error, in its words and order.
    assert line.count("\n") == 2
    assert in_page_words(line) in text_of(page, "table-status")
    assert page.find_element(By.ID, "table-download").get_attribute("download") == \
        "survey-estimates.csv"
    assert axe_violations(page) == []


def test_cells_a_spreadsheet_would_run_are_told_once_and_kept(page, tmp_path):
    path = tmp_path / "formulas.csv"
    path.write_text("id,sand,clay,note\n=1+1,40,20,-1.5\n@x,52.5,17.5,-\nP3,45,20,+cmd\n")
    wanted, _, _ = batch(path, ["--model", "0"])
    assert b"=1+1,40,20,-1.5," in wanted  # kept byte for byte

    open_tables(page)
    Select(page.find_element(By.ID, "table-model")).deselect_all()
    Select(page.find_element(By.ID, "table-model")).select_by_value("0")
    choose_file(page, path)
    run_to_end(page)
    assert downloaded(page) == wanted
    status = text_of(page, "table-status")
    assert status.count("3 cells begin with =, +, - or @, which a spreadsheet may run as "
                        "formulas; the download keeps them as they are") == 1


# talvo-batch's line, with what it tells to type on its command line told as the page's choice.
@pytest.mark.parametrize("name, text, delimiter, shown", [
    ("unclosed.csv", "sand,clay\n40,20\n75,\"10\n5,5\n", None, None),
    ("no_clay.csv", "id,sand,silt\nA,40,20\n", None,
     'no_clay.csv: missing column: clay; the header has "id", "sand", "silt": choose the column '
     "above"),
    ("semicolons.csv", "sand;clay\n40;20\n", ",",
     'semicolons.csv: missing columns: sand, clay; the header has "sand;clay": choose the '
     "column above; or is it separated by ';'? choose the delimiter above"),
    ("estimated.csv", "sand,clay,fc\n40,20,30\n", None,
     "estimated.csv: the input already has a column named fc (column 3): give the added "
     "columns a prefix above"),
])
def test_errors_read_as_talvo_batch_s_line_in_the_page_s_words(page, tmp_path, name, text,
                                                               delimiter, shown):
    path = tmp_path / name
    path.write_text(text)
    delimiting = ["--delimiter", delimiter] if delimiter else []
    _, line, status = batch(path, ["--model", "0", *delimiting])
    assert status == 2

    open_tables(page)
    Select(page.find_element(By.ID, "table-model")).deselect_all()
    Select(page.find_element(By.ID, "table-model")).select_by_value("0")
    choose_file(page, path)
    if delimiter:
        Select(page.find_element(By.ID, "table-delimiter")).select_by_value(delimiter)
    run_to_end(page)
    assert text_of(page, "table-error") == (shown or line)
    assert "--" not in text_of(page, "table-error")
    assert not page.find_element(By.ID, "table-download").is_displayed()
    assert page.find_element(By.ID, "table-run").is_enabled()


# Run before the table tab starts its worker: keeps each worker and the requests sent to it.
CATCH_WORKERS = """
window.workers = [];
window.sent = [];
window.Worker = class extends window.Worker {
  constructor(...args) { super(...args); window.workers.push(this); }
  postMessage(message) {
    window.sent.push({type: message.type, id: message.id});
    super.postMessage(message);
  }
};"""

# A reply as the current worker would send it, to a request of `type` sent `back` requests ago.
STALE_REPLY = """
const [type, back, reply] = arguments;
const ids = window.sent.filter((message) => message.type === type).map((message) => message.id);
window.workers.at(-1).dispatchEvent(
  new MessageEvent('message', {data: {...reply, id: ids.at(-1 - back)}}));"""


def test_cancel_stops_the_run_and_stale_replies_change_nothing(page, tmp_path):
    big = tmp_path / "big.csv"
    with big.open("w") as out:
        out.write("id,sand,silt,clay,oc\n")
        block = "".join(f"{i},{i % 80},20,{80 - i % 80},{i % 7}\n" for i in range(10000))
        for _ in range(300):
            out.write(block)
    # The same name as a file chosen before, which a reply's name cannot tell apart.
    small = tmp_path / "again" / "big.csv"
    small.parent.mkdir()
    small.write_text("sand,clay\n40,20\n")

    page.execute_script(CATCH_WORKERS)
    open_tables(page)
    choose_file(page, big)
    page.find_element(By.ID, "table-run").click()
    WebDriverWait(page, 30).until(
        lambda d: float(d.find_element(By.ID, "table-progress").get_property("value")) > 0)
    page.find_element(By.ID, "table-cancel").click()
    assert text_of(page, "table-status") == "Cancelled"
    assert not page.find_element(By.ID, "table-download").is_displayed()
    assert not page.find_element(By.ID, "table-cancel").is_enabled()

    # The cancelled run's last words, and the first file's preview, arriving late.
    for reply in ({"type": "progress", "done": 5, "total": 10},
                  {"type": "notice", "text": "late notice"},
                  {"type": "error", "text": "late error"}):
        page.execute_script(STALE_REPLY, "run", 0, reply)
    assert text_of(page, "table-status") == "Cancelled"
    assert not page.find_element(By.ID, "table-error").is_displayed()
    choose_file(page, small)
    page.execute_script(STALE_REPLY, "preview", 1,
                        {"type": "preview", "name": "big.csv", "rows": [["stale"]], "columns": {}})
    headers = [th.text for th in page.find_elements(By.CSS_SELECTOR, "#table-preview th")]
    assert headers == ["sand", "clay"]

    run_to_end(page)
    assert downloaded(page) == batch(small, ["--model", "all"])[0]


def test_a_failure_outside_the_engine_is_told_in_its_own_words(page, server, tmp_path):
    path = tmp_path / "soils.csv"
    path.write_text("sand,clay\n" + "40,20\n" * 100000)
    origin = server.url.rstrip("/")
    open_tables(page)
    choose_file(page, path)
    # A full disk: room for the run's first 100 kB (its output is some 10 MB, so that no slack
    # in the browser's accounting lets it through), beside what the site keeps already.
    # Earlier runs' files are removed first: space they free during the run (the page removes
    # them at its next run) would otherwise make room for it. The service worker's copy of the
    # site (half a megabyte of it the spreadsheet library) must be in place before the room is
    # measured, and the browser counts freed or added space a while later: the figure is taken
    # once it has settled.
    used = page.execute_async_script("""
        const done = arguments[0];
        const settled = async () => {
          let usage = (await navigator.storage.estimate()).usage;
          for (let i = 0, last = -1; i < 40 && usage !== last; i++) {
            await new Promise((resolve) => setTimeout(resolve, 250));
            last = usage;
            usage = (await navigator.storage.estimate()).usage;
          }
          return usage;
        };
        // A file an earlier run's worker still holds cannot be removed yet: tried again.
        const removeAll = async (root) => {
          for (let i = 0; i < 40; i++) {
            const names = [];
            for await (const name of root.keys()) names.push(name);
            if (names.length === 0) return;
            for (const name of names) await root.removeEntry(name).catch(() => {});
            await new Promise((resolve) => setTimeout(resolve, 250));
          }
        };
        navigator.serviceWorker.ready.then(() => navigator.storage.getDirectory())
          .then(async (root) => {
            await removeAll(root);
            done(await settled());
          });""")
    page.execute_cdp_cmd("Storage.overrideQuotaForOrigin",
                         {"origin": origin, "quotaSize": used + 100000})
    try:
        run_to_end(page)
    finally:
        page.execute_cdp_cmd("Storage.overrideQuotaForOrigin", {"origin": origin})
    error = text_of(page, "table-error")
    assert "No space available" in error and "cannot read" not in error
    assert not page.find_element(By.ID, "table-download").is_displayed()
    assert page.find_element(By.ID, "table-run").is_enabled()


def test_usda_table_is_talvo_batch_s_with_psd_usda(page, tmp_path):
    path = tmp_path / "soilgrids.csv"
    path.write_text("id,sand,silt,clay,oc\nA,30,50,20,12\nB,60,25,15,8\nC,10,40,50,0\n"
                    "D,5.5,82.5,12,30\nE,x,7,5,1\n")
    wanted, line, status = batch(path, ["--model", "all", "--psd", "usda"])
    assert status == 1 and b"psd" in wanted

    open_tables(page)
    choose_file(page, path)
    Select(page.find_element(By.ID, "table-psd")).select_by_value("usda")
    run_to_end(page)
    assert downloaded(page) == wanted
    assert in_page_words(line).splitlines()[0] in text_of(page, "table-status")


# Organic carbon of a chosen unit reaches each model in its own: 5 g/kg is Rawls et al.'s
# 0.5 %, FC ((25.76 - 0.2 x 40) + 0.36 x 20) + 0.5 x 5.17868 = 27.54934. As entered, 50 lies
# above the model's calibration, and the page names its choice.
def test_organic_carbon_in_the_chosen_unit(page, tmp_path):
    path = tmp_path / "carbon.csv"
    path.write_text("id,sand,clay,oc\nA,40,20,5\nB,40,20,50\n")
    open_tables(page)
    Select(page.find_element(By.ID, "table-model")).deselect_all()
    Select(page.find_element(By.ID, "table-model")).select_by_value("2")
    choose_file(page, path)
    run_to_end(page)
    wanted, line, _ = batch(path, ["--model", "2"])
    assert downloaded(page) == wanted
    assert b"50.85" in wanted  # as the window reads OC 5
    assert 'on 1 of 2 rows, Rawls et al., 1982 reads organic carbon above 7.25 %' in line
    assert in_page_words(line).splitlines()[0] in text_of(page, "table-status")
    assert "--" not in text_of(page, "table-status")

    Select(page.find_element(By.ID, "table-oc-unit")).select_by_value("g/kg")
    run_to_end(page)
    wanted, line, _ = batch(path, ["--model", "2", "--oc-unit", "g/kg"])
    assert downloaded(page) == wanted
    assert wanted.splitlines()[1].split(b",")[-6] == b"27.55"
    assert "organic carbon" not in text_of(page, "table-status")


# SSURGO's names are found as talvo-batch finds them, organic matter read as carbon and said
# so; two columns that could each be sand leave its menu to the user.
def test_real_names_are_found_as_talvo_batch_finds_them(page, tmp_path):
    path = tmp_path / "ssurgo.csv"
    path.write_text("mukey,hzname,sandtotal_r,silttotal_r,claytotal_r,om_r,Sand (%),sand_pct\n"
                    "463442,Ap,40.0,40.0,20.0,8.62,1,2\n2765541,A,88.1,6.4,5.5,1.25,3,4\n")
    wanted, line, status = batch(path, ["--model", "all", "--column", "sand=sandtotal_r"])
    assert status == 0 and "organic matter" in line

    open_tables(page)
    choose_file(page, path)
    for name, header in (("sand", ""), ("silt", "silttotal_r"), ("clay", "claytotal_r"),
                         ("oc", "om_r")):
        assert page.find_element(By.ID, f"table-{name}").get_property("value") == header
    Select(page.find_element(By.ID, "table-sand")).select_by_value("sandtotal_r")
    run_to_end(page)
    assert downloaded(page) == wanted
    assert line.splitlines()[0] in text_of(page, "table-status")


# Horizons as a survey keeps them: profiles interleaved and unsorted, one without bulk
# density, a gap, stones by weight, and a horizon that cannot be estimated.
HORIZONS = (
    "profile,top,bottom,sand,silt,clay,oc,bd,cf\n"
    "P2,30,70,20,40,40,0.4,1.45,10\n"
    "P1,0,25,40,40,20,1.8,1.30,0\n"
    "P2,0,30,25,45,30,1.2,,5\n"
    "P1,25,60,35,40,25,0.9,1.45,20\n"
    "P3,0,20,x,40,20,1,1.3,0\n"
    "P3,40,90,60,25,15,0.3,1.6,35\n"
    "P1,60,120,30,40,30,0.5,1.55,40\n"
)


@pytest.mark.parametrize("model, precision", [("all", "fixed"), ("2", "general")])
def test_horizon_table_and_its_summary_are_talvo_batch_s(page, tmp_path, model, precision):
    path = tmp_path / "horizons.csv"
    path.write_text(HORIZONS)
    summary = tmp_path / "wanted-summary.csv"
    wanted, line, _ = batch(path, ["--model", model, "--precision", precision, "--profiles",
                                   "--summary", str(summary), "--root-depth", "60",
                                   "--depletion", "0.4", "--cf-by", "weight"])
    assert b"aw_mm" in wanted and b"gap" in summary.read_bytes()

    open_tables(page)
    if model != "all":
        Select(page.find_element(By.ID, "table-model")).deselect_all()
        Select(page.find_element(By.ID, "table-model")).select_by_value(model)
    Select(page.find_element(By.ID, "table-precision")).select_by_value(precision)
    choose_file(page, path)
    page.find_element(By.ID, "table-profiles").click()
    for name, value in (("table-root-depth", "60"), ("table-depletion", "0.4")):
        field = page.find_element(By.ID, name)
        field.clear()
        field.send_keys(value)
    Select(page.find_element(By.ID, "table-cf-by")).select_by_value("weight")
    run_to_end(page)
    assert not page.find_element(By.ID, "table-error").is_displayed()
    assert downloaded(page) == wanted
    assert downloaded(page, "table-summary-download") == summary.read_bytes()
    assert page.find_element(By.ID, "table-summary-download").get_attribute("download") == \
        "horizons-profiles.csv"
    assert line.splitlines()[0] in text_of(page, "table-status")
    assert axe_violations(page) == []


def test_a_plain_table_offers_no_profile_summary(page, tmp_path):
    path = tmp_path / "plain.csv"
    path.write_text("sand,clay\n40,20\n")
    open_tables(page)
    choose_file(page, path)
    run_to_end(page)
    assert not page.find_element(By.ID, "table-summary-download").is_displayed()


def test_a_bad_root_depth_reads_as_talvo_batch_s_line(page, tmp_path):
    path = tmp_path / "horizons.csv"
    path.write_text(HORIZONS)
    _, line, status = batch(path, ["--profiles", "--root-depth", "0"])
    assert status == 2

    open_tables(page)
    choose_file(page, path)
    page.find_element(By.ID, "table-profiles").click()
    field = page.find_element(By.ID, "table-root-depth")
    field.clear()
    field.send_keys("0")
    run_to_end(page)
    assert text_of(page, "table-error") == \
        "root depth '0': give a depth in cm above 0 and at most 10000"
    assert line == "--root-depth '0': give a depth in cm above 0 and at most 10000"


# Numbers no soil has: the page's worker gives talvo-batch's error column, where a depth of
# 1e308 once aborted it.
def test_numbers_no_soil_has_are_named_as_talvo_batch_names_them(page, tmp_path):
    path = tmp_path / "edges.csv"
    path.write_text("profile,top,bottom,sand,silt,clay,bd,cf\n"
                    "A,1e300,1e308,40,40,20,1.3,0\n"
                    "A,0,10,40,40,20,0,0\n"
                    "B,0,10,40,40,20,1.3,150\n")
    summary = tmp_path / "wanted-summary.csv"
    wanted, _, _ = batch(path, ["--model", "0", "--profiles", "--summary", str(summary)])
    for error in (b"Out of range: top 1e300", b"Out of range: bd 0", b"Out of range: cf 150"):
        assert error in wanted

    open_tables(page)
    Select(page.find_element(By.ID, "table-model")).deselect_all()
    Select(page.find_element(By.ID, "table-model")).select_by_value("0")
    choose_file(page, path)
    page.find_element(By.ID, "table-profiles").click()
    run_to_end(page)
    assert downloaded(page) == wanted
    assert downloaded(page, "table-summary-download") == summary.read_bytes()


# Contents in another unit: the page names its choice where talvo-batch names its option, and
# that choice gives talvo-batch's bytes with the option.
@pytest.mark.parametrize("text, units, option, remedy", [
    ("sand,silt,clay\n0.4,0.4,0.2\n0.1,0.3,0.6\n0.25,0.5,0.25\n", "fractions",
     ["--fractions"], 'choose sand, silt and clay in "fractions of 1" to read them as percent'),
    ("sand,silt,clay\n400,400,200\n100,300,600\n", "g/kg",
     ["--scale", "sand=0.1,silt=0.1,clay=0.1"],
     'choose sand, silt and clay in "g/kg" to read them as percent'),
])
def test_misread_units_are_named_and_read_by_the_page_s_choice(page, tmp_path, text, units,
                                                               option, remedy):
    path = tmp_path / "units.csv"
    path.write_text(text)
    _, line, _ = batch(path, ["--model", "0"])
    warning = line.splitlines()[0]
    assert "--" in warning

    open_tables(page)
    Select(page.find_element(By.ID, "table-model")).deselect_all()
    Select(page.find_element(By.ID, "table-model")).select_by_value("0")
    choose_file(page, path)
    # The unit the engine sees is chosen already, and reads as talvo-batch with the option.
    WebDriverWait(page, 10).until(
        lambda d: d.find_element(By.ID, "table-units").get_property("value") == units)
    run_to_end(page)
    wanted, line, _ = batch(path, ["--model", "0", *option])
    assert downloaded(page) == wanted
    assert "look like" not in line and "look like" not in text_of(page, "table-status")

    # Percent chosen against the numbers: warned, and told which choice reads them.
    Select(page.find_element(By.ID, "table-units")).select_by_value("")
    run_to_end(page)
    status = text_of(page, "table-status")
    assert warning[:warning.index("; ")] + "; " + remedy in status


def test_each_file_s_delimiter_decimal_and_units_are_guessed_afresh(page, tmp_path):
    """A file with commas after one with semicolons, decimal commas and fractions runs as
    talvo-batch's defaults read it."""
    first = tmp_path / "first.csv"
    first.write_text("sand;silt;clay\n0,4;0,4;0,2\n0,1;0,3;0,6\n")
    second = tmp_path / "second.csv"
    second.write_text("sand,silt,clay\n40.5,39.5,20\n10,30,60\n")

    open_tables(page)
    choose_file(page, first)

    def guessed():
        return [page.find_element(By.ID, f"table-{name}").get_property("value")
                for name in ("delimiter", "decimal", "units")]

    WebDriverWait(page, 10).until(lambda d: guessed() == [";", ",", "fractions"])
    choose_file(page, second)
    WebDriverWait(page, 10).until(lambda d: guessed() == [",", ".", ""])
    run_to_end(page)
    assert not page.find_element(By.ID, "table-error").is_displayed()
    assert downloaded(page) == batch(second, ["--model", "all"])[0]


def rows_of(page, table):
    return [[cell.get_attribute("textContent") for cell in row.find_elements(By.TAG_NAME, "td")]
            for row in page.find_elements(By.CSS_SELECTOR, f"#{table} tbody tr")]


# Soils whose first record holds a line break in a quoted field, so that a record's line in
# the file is not its number; every seventh soil cannot be estimated.
def soil_table(records):
    lines = ["id,sand,clay,note", '1,40,20,"two\nlines"']
    lines += [f"{i},{'x' if i % 7 == 0 else 40},20,-" for i in range(2, records + 1)]
    return "\n".join(lines) + "\n"


@pytest.mark.parametrize("records, first, errors, counted", [
    # 30 rows: all shown; 4 with an error (ids 7, 14, 21, 28).
    (30, 30, [7, 14, 21, 28], "All 4 rows with an error"),
    # 1500 rows: the first 50; 214 with an error, the first 200 shown.
    (1500, 50, list(range(7, 1401, 7)), "The first 200 of 214 rows with an error"),
])
def test_the_result_s_first_rows_and_rows_with_an_error_are_shown(page, tmp_path, records,
                                                                  first, errors, counted):
    path = tmp_path / "soils.csv"
    path.write_text(soil_table(records))
    open_tables(page)
    Select(page.find_element(By.ID, "table-model")).deselect_all()
    Select(page.find_element(By.ID, "table-model")).select_by_value("0")
    choose_file(page, path)
    run_to_end(page)
    assert page.find_element(By.ID, "table-results").is_displayed()

    shown = rows_of(page, "table-result-rows")
    assert len(shown) == first
    headers = [th.get_attribute("textContent")
               for th in page.find_elements(By.CSS_SELECTOR, "#table-result-rows th")]
    assert headers[:4] == ["id", "sand", "clay", "note"] and headers[-1] == "error"
    assert shown[0][:4] == ["1", "40", "20", "two\nlines"] and shown[0][-1] == ""
    # Model 0 with sand 40 and clay 20: FC 29.79202 - 10.5396 + 4.1314.
    assert shown[1][headers.index("fc")] == "23.38"
    if records > first:
        assert text_of(page, "table-result-count") == f"The first 50 of {records:,} rows"

    failed = rows_of(page, "table-error-rows")
    # Each with its line in the download: the header and the first record take three.
    assert [row[0] for row in failed] == [f"{i + 2:,}" for i in errors[:200]]
    # Why, then the row as the download has it.
    assert all(row[1].startswith("Type mismatch: sand") for row in failed)
    assert [row[2] for row in failed] == [str(i) for i in errors[:200]]
    assert text_of(page, "table-error-count").startswith(counted)
    if len(errors) > 200:
        assert "the other 14" in text_of(page, "table-error-count")


def test_the_phone_s_tables_tab_scrolls_only_inside_the_rows(driver, server, tmp_path):
    path = tmp_path / "wide.csv"
    path.write_text("id,sand,silt,clay,oc,a_long_column_of_notes_that_is_wide\n"
                    "A,40,40,20,5,some words that make the row wider than a phone\n")
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 360, "height": 740, "deviceScaleFactor": 1, "mobile": True})
    try:
        browser.open_page(driver, server.url)
        open_tables(driver)
        choose_file(driver, path)
        run_to_end(driver)
        assert driver.find_element(By.ID, "table-results").is_displayed()
        assert driver.execute_script(WIDEST) <= 360
    finally:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": 1200, "height": 900, "deviceScaleFactor": 1,
                                "mobile": False})


# ---- Hydraulic columns: talvo-batch --hydraulics's own table, written by the same code.

# Soils as a survey keeps them: decimal commas, a bulk density column with a blank cell, a
# topsoil column in words, OC in g/kg, and rows that cannot be estimated.
HYDRAULIC = (
    "id;sand;silt;clay;oc;bd;topsoil\r\n"
    "A;40;40;20;14,5;1,35;yes\r\n"
    "B;25;25;50;10;1,2;0\r\n"
    "C;88;7;5;3;;1\r\n"
    "D;x;40;20;10;1,4;1\r\n"
    "E;30;50;20;8;1,5;\r\n"
)


@pytest.mark.parametrize("models, topsoil", [
    ("saxton-rawls", ""),
    ("all", ""),
    ("hypres", "no"),
])
def test_hydraulic_columns_are_talvo_batch_hydraulics(page, tmp_path, models, topsoil):
    path = tmp_path / "horizons.csv"
    path.write_bytes(HYDRAULIC.encode())
    options = ["--hydraulics", models, "--decimal", ",", "--delimiter", ";", "--oc-unit",
               "g/kg"]
    wanted, line, status = batch(path, options + (["--topsoil", topsoil] if topsoil else []))
    assert status == 1 and b"hydraulic_model" in wanted, line

    open_tables(page)
    choose_file(page, path)
    Select(page.find_element(By.ID, "table-oc-unit")).select_by_value("g/kg")
    Select(page.find_element(By.ID, "table-hydraulics")).select_by_value(models)
    Select(page.find_element(By.ID, "table-topsoil")).select_by_value(topsoil)
    run_to_end(page)
    assert not page.find_element(By.ID, "table-error").is_displayed()
    assert downloaded(page) == wanted
    assert line in text_of(page, "table-status")
    # The result's rows shown are the download's, and so are its rows with an error.
    records = list(csv.reader(io.StringIO(wanted.decode()), delimiter=";"))
    assert rows_of(page, "table-result-rows") == records[1:]
    errors = [row for row in records[1:] if row[-1]]
    assert [row[1:] for row in rows_of(page, "table-error-rows")] == \
        [[row[-1], *row[:-1]] for row in errors]


# The run's refusals are talvo-batch's, in the page's words: HYPRES without a layer, and a
# table the hydraulic columns do not read.
def test_hydraulic_columns_refuse_as_talvo_batch_does(page, tmp_path):
    path = tmp_path / "nolayer.csv"
    path.write_text("sand,silt,clay,oc,bd\n40,40,20,10,1.3\n")
    _, line, status = batch(path, ["--hydraulics", "hypres"])
    assert status == 2 and "topsoil" in line

    open_tables(page)
    choose_file(page, path)
    Select(page.find_element(By.ID, "table-hydraulics")).select_by_value("hypres")
    run_to_end(page)
    assert "reads topsoil or subsoil" in text_of(page, "table-error")
    assert not page.find_element(By.ID, "table-download").is_displayed()

    page.find_element(By.ID, "table-profiles").click()
    run_to_end(page)
    assert "without soil profiles" in text_of(page, "table-error")
