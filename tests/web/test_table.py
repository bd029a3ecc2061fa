"""The table tab in headless Chromium: the same bytes and the same lines as talvo-batch."""

import base64
import os
import subprocess

import pytest
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait
from test_page import axe_violations

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
    # Its flagged rows and its rows with an error, in its words and order.
    assert line.count("\n") == 1
    assert line in text_of(page, "table-status")
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


@pytest.mark.parametrize("name, text", [
    ("unclosed.csv", "sand,clay\n40,20\n75,\"10\n5,5\n"),
    ("no_clay.csv", "id,sand,silt\nA,40,20\n"),
])
def test_errors_read_as_talvo_batch_s_line(page, tmp_path, name, text):
    path = tmp_path / name
    path.write_text(text)
    _, line, status = batch(path, ["--model", "0"])
    assert status == 2

    open_tables(page)
    Select(page.find_element(By.ID, "table-model")).deselect_all()
    Select(page.find_element(By.ID, "table-model")).select_by_value("0")
    choose_file(page, path)
    run_to_end(page)
    assert text_of(page, "table-error") == line
    assert not page.find_element(By.ID, "table-download").is_displayed()
    assert page.find_element(By.ID, "table-run").is_enabled()


def test_cancel_stops_the_run_and_the_next_one_runs(page, tmp_path):
    big = tmp_path / "big.csv"
    with big.open("w") as out:
        out.write("id,sand,silt,clay,oc\n")
        block = "".join(f"{i},{i % 80},20,{80 - i % 80},{i % 7}\n" for i in range(10000))
        for _ in range(300):
            out.write(block)
    small = tmp_path / "small.csv"
    small.write_text("sand,clay\n40,20\n")

    open_tables(page)
    choose_file(page, big)
    page.find_element(By.ID, "table-run").click()
    WebDriverWait(page, 30).until(
        lambda d: float(d.find_element(By.ID, "table-progress").get_property("value")) > 0)
    page.find_element(By.ID, "table-cancel").click()
    assert text_of(page, "table-status") == "Cancelled"
    assert not page.find_element(By.ID, "table-download").is_displayed()
    assert not page.find_element(By.ID, "table-cancel").is_enabled()

    choose_file(page, small)
    run_to_end(page)
    assert downloaded(page) == batch(small, ["--model", "all"])[0]


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
    assert text_of(page, "table-error") == line


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
    run_to_end(page)
    status = text_of(page, "table-status")
    assert warning[:warning.index("; ")] + "; " + remedy in status

    Select(page.find_element(By.ID, "table-units")).select_by_value(units)
    run_to_end(page)
    wanted, line, _ = batch(path, ["--model", "0", *option])
    assert downloaded(page) == wanted
    assert "look like" not in line and "look like" not in text_of(page, "table-status")
