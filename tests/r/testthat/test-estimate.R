# talvo_estimate's R side: what it takes, what it keeps and how it refuses.

test_that("vectors recycle one value, and NA in gives NA out with its reason", {
  out <- talvo_estimate(model = "rawls", sand = c(40, NA, 40), clay = 20, oc = c(5, 5, NA))
  # Rawls et al., 1982 at sand 40, clay 20, OC 5 %: 50.85 and 26.28 % v/v.
  expect_equal(as.vector(out$fc), c(50.85, NA, NA))
  expect_equal(as.vector(out$pwp[1]), 26.28)
  expect_identical(out$error, c(NA, "Missing: sand", "Missing: oc"))
  expect_identical(attr(out$fc, "units"), "% v/v")
  expect_identical(attr(out$awc, "units"), "mm")
  expect_identical(out$unit, rep("% v/v", 3))
})

test_that("row names, tibbles, integers and factors come through", {
  soils <- data.frame(Sand = c(40L, 10L), silt = c(40, 30), clay_pct = c(20, 60),
                      oc = factor(c("5", "12.5")), row.names = c("A", "B"))
  out <- talvo_estimate(soils, model = 2)
  expect_identical(row.names(out), c("A", "B"))
  expect_identical(as.character(out$texture), c("clay loam", "heavy clay"))
  skip_if_not_installed("tibble")
  expect_identical(talvo_estimate(tibble::as_tibble(soils), model = 2)$fc, out$fc)
  named <- talvo_estimate(model = 0, sand = c(x = 40, y = 10), clay = c(20, 60))
  expect_identical(row.names(named), c("x", "y"))
})

test_that("texts are read as a table's cells are", {
  out <- talvo_estimate(model = 1, sand = c("40", " 40 ", "40,5", ""), clay = "20",
                        oc = c("5", "5", "5", "5"))
  expect_identical(out$error, c(NA, NA, 'Type mismatch: sand "40,5"', "Missing: sand"))
  expect_identical(talvo_estimate(model = 1, sand = "40,5", clay = 20, oc = 5,
                                  decimal = ",")$error, NA_character_)
})

test_that("organic matter is read as carbon, with a warning", {
  soils <- data.frame(sand = 40, clay = 20, om_r = 8.62)
  expect_warning(out <- talvo_estimate(soils, model = 2), "organic matter in column")
  expect_identical(out$fc, talvo_estimate(model = 2, sand = 40, clay = 20, oc = 8.62 / 1.724)$fc)
})

test_that("refusals are talvo_error conditions in the tools' words", {
  soils <- data.frame(sand = 40, clay = 20, oc = 5)
  refusals <- list(
    list(quote(talvo_estimate(soils, model = 9)), "no model at position 9: give 0 to 6"),
    list(quote(talvo_estimate(soils, model = "x")), "unknown model 'x'"),
    list(quote(talvo_estimate(soils, model = 2, precision = "exact")),
         "precision 'exact': give fixed or general"),
    list(quote(talvo_estimate(soils, model = 2, psd = "iso")), "psd 'iso': give usda"),
    list(quote(talvo_estimate(soils, model = 2, decimal = ";")), "decimal"),
    list(quote(talvo_estimate(soils, model = 2, psd = c("usda", "usda"))), "psd must be one text"),
    list(quote(talvo_estimate(soils, model = 2, precision = NA_character_)),
         "precision must be one text"),
    list(quote(talvo_estimate(model = 2, sand = 1:3, clay = 1:2, oc = 1)),
         "clay has 2 values, not 3 or 1"),
    list(quote(talvo_estimate(model = 2, sand = TRUE, clay = 1, oc = 1)),
         "sand: give numbers or texts, not logical"),
    list(quote(talvo_estimate(soils, model = 3)), "missing input silt: .* only sand, clay, oc"),
    list(quote(talvo_estimate(data.frame(sand = 1, Sand_pct = 2, clay = 1, oc = 1), model = 2)),
         NA),
    list(quote(talvo_estimate(data.frame(`Sand (%)` = 1, sand_pct = 2, clay = 1, oc = 1,
                                         check.names = FALSE), model = 2)),
         "could each be sand")
  )
  for (refusal in refusals) {
    if (is.na(refusal[[2]])) {
      expect_no_error(eval(refusal[[1]])) # an exact name wins
    } else {
      expect_error(eval(refusal[[1]]), refusal[[2]], class = "talvo_error")
    }
  }
})

test_that("a long run stops at R's interrupt, unfinished", {
  sand <- rep(c(40, 10), 2e6)
  clay <- rep(c(20, 60), 2e6)
  # A time limit reaches the loop where Ctrl+C would: between its pieces.
  outcome <- tryCatch({
    setTimeLimit(elapsed = 0.2, transient = TRUE)
    talvo_estimate(model = 0, sand = sand, clay = clay)
    "finished"
  }, interrupt = function(i) "interrupted", error = function(e) conditionMessage(e),
  finally = setTimeLimit())
  expect_identical(outcome, "interrupted")
})
