"""The calculator's page in headless Chromium: the form as the window has it."""

from selenium.webdriver.common.by import By

MODELS = [
    "TALVO PTF model (PSD)", "TALVO PTF model (PSD + OC)", "Rawls et al., 1982",
    "Tomasella and Hodnett, 1998", "Singh, 2000", "Adhikary et al., 2008",
    "Chakraborty et al., 2011",
]


def test_start_state(page):
    chooser = page.find_element(By.ID, "model")
    options = chooser.find_elements(By.TAG_NAME, "option")
    assert [o.text for o in options[1:]] == MODELS
    assert chooser.get_property("value") == "-1"
    assert options[0].text == "Select Model"
    for name in ("sand", "silt", "clay", "oc"):
        assert not page.find_element(By.ID, name).is_enabled(), name
    for name in ("fc", "pwp", "awc", "unitfc", "unitpwp"):
        assert page.find_element(By.ID, name).text == "", name
    assert page.find_element(By.ID, "cmd").text.strip() == "Estimate"
