"""The table tab's scores in headless Chromium: talvo-batch's metrics file and report, made by
the same code, and the report shown on the page."""

import csv
import io

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait
from test_page import axe_violations
from test_table import batch, choose_file, downloaded, open_tables, run_to_end, text_of


def lab_table():
    """Soils across the triangle with laboratory FC and PWP in % v/v: some rows lack a
    measurement, one an estimate, one a bulk density."""
    lines = ["id,sand,silt,clay,oc,FC_lab,PWP_lab,bd"]
    for i in range(40):
        clay = 5 + i * 1.5
        sand = 80 - i * 1.7
        silt = 100 - sand - clay
        fc = 12 + clay * 0.45 + (i % 5) * 0.7
        pwp = 4 + clay * 0.3 - (i % 3) * 0.4
        lines.append(f"S{i},{sand:.1f},{silt:.1f},{clay:.1f},{3 + i % 9},"
                     f"{'' if i % 11 == 3 else f'{fc:.2f}'},{pwp:.2f},"
                     f"{'' if i == 7 else f'{1.2 + (i % 6) * 0.05:.2f}'}")
    lines.append("bad,x,20,20,4,30.1,15.2,1.40")
    return "\n".join(lines) + "\n"


def choose(page, menu, value):
    Select(page.find_element(By.ID, menu)).select_by_value(value)


def test_report_and_scores_are_talvo_batch_s(page, tmp_path):
    path = tmp_path / "lab.csv"
    path.write_text(lab_table())
    _, line, status = batch(path, ["--model", "all", "--measured", "fc=FC_lab,pwp=PWP_lab",
                                   "--metrics", "metrics.csv", "--report", "report.html"])
    assert status == 0 and "1.49" in line
    metrics = (tmp_path / "metrics.csv").read_bytes()
    report = (tmp_path / "report.html").read_bytes()

    open_tables(page)
    choose_file(page, path)
    choose(page, "table-fc", "FC_lab")
    choose(page, "table-pwp", "PWP_lab")
    run_to_end(page)
    assert not page.find_element(By.ID, "table-error").is_displayed()
    WebDriverWait(page, 10).until(lambda d: d.find_element(By.ID, "table-scores").is_displayed())
    assert downloaded(page, "table-metrics-download") == metrics
    assert downloaded(page, "table-report-download") == report
    assert line in text_of(page, "table-status")
    assert page.find_element(By.ID, "table-report-download").get_attribute("download") == \
        "lab-report.html"
    assert axe_violations(page) == []

    # The report's table of scores, as the frame shows it, holds the metrics file's numbers.
    frame = page.find_element(By.ID, "table-report")
    assert frame.get_attribute("sandbox") == "allow-same-origin"
    assert frame.size["height"] > 1000  # as tall as the report, not a window onto it
    page.switch_to.frame(frame)
    try:
        rows = page.find_elements(By.XPATH, "//h2[.='Scores']/following-sibling::table[1]//tr")
        shown = [[cell.text for cell in row.find_elements(By.TAG_NAME, "td")] for row in rows[1:]]
    finally:
        page.switch_to.default_content()
    wanted = list(csv.DictReader(io.StringIO(metrics.decode())))
    assert len(shown) == len(wanted) == 14  # 7 models, FC and PWP
    for cells, score in zip(shown, wanted):
        assert cells[:4] == [score["model"], score["quantity"], score["unit"], score["n"]]
        rmse = f"{float(score['rmse']):.2f} [{float(score['rmse_low']):.2f}, " \
               f"{float(score['rmse_high']):.2f}]"
        assert cells[6] == rmse
        assert cells[7].startswith(f"{float(score['r2']):.3f}")


def test_bulk_density_alone_is_refused_as_talvo_batch_refuses_it(page, tmp_path):
    path = tmp_path / "lab.csv"
    path.write_text(lab_table())
    _, line, status = batch(path, ["--model", "all", "--measured", "bd=bd"])
    assert status == 2

    open_tables(page)
    choose_file(page, path)
    choose(page, "table-bd", "bd")
    run_to_end(page)
    assert line == ("--measured names no measured column: give fc=HEADER, pwp=HEADER or "
                    "awc=HEADER")
    # In the page's words: no option, no placeholder.
    assert text_of(page, "table-error") == \
        "measured names no measured column: choose the measured columns above"
    assert not page.find_element(By.ID, "table-scores").is_displayed()


def test_fractions_are_noticed_in_the_pages_words_and_read_when_chosen(page, tmp_path):
    # Singh, 2000 by hand: sand 40, clay 20 give FC 37.58, PWP 10.97; sand 60, clay 10 give
    # 27.58 and 6.67. Measured in cm3/cm3.
    path = tmp_path / "lab.csv"
    path.write_text("sand,silt,clay,FC_lab,PWP_lab\n40,40,20,0.3658,0.0997\n"
                    "60,30,10,0.2658,0.0567\n")
    open_tables(page)
    choose_file(page, path)
    Select(page.find_element(By.ID, "table-model")).deselect_all()
    choose(page, "table-model", "4")
    choose(page, "table-fc", "FC_lab")
    choose(page, "table-pwp", "PWP_lab")
    run_to_end(page)
    status = text_of(page, "table-status")
    assert "look like fractions of 1" in status and "fraction (cm³/cm³)" in status
    assert "--measured-unit" not in status

    _, _, code = batch(path, ["--model", "4", "--measured", "fc=FC_lab,pwp=PWP_lab",
                              "--measured-unit", "fraction", "--metrics", "metrics.csv"])
    assert code == 0
    choose(page, "table-measured-unit", "fraction")
    run_to_end(page)
    assert "fractions of 1" not in text_of(page, "table-status")
    assert downloaded(page, "table-metrics-download") == (tmp_path / "metrics.csv").read_bytes()
