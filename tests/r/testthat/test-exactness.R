# Random soils through talvo_estimate and through talvo-batch: the same numbers, bit for bit.

# Contents with up to three decimals (halves of hundredths included), full doubles, values
# outside 0..100 and NA; OC at 0 where a model divides by it.
random_soils <- function(count, seed) {
  set.seed(seed)
  column <- function(high) {
    values <- stats::runif(count, -5, high + 5)
    places <- sample(0:4, count, replace = TRUE) # 4: every digit
    values <- ifelse(places < 4, round(values, pmin(places, 3)), values)
    values[stats::runif(count) < 0.01] <- NA
    values
  }
  soils <- data.frame(sand = column(100), silt = column(100), clay = column(100),
                      oc = column(60))
  soils$oc[stats::runif(count) < 0.01] <- 0
  soils
}

as_texts <- function(soils) {
  as.data.frame(lapply(soils, function(values) {
    ifelse(is.na(values), "", sprintf("%.17g", values))
  }))
}

test_that("numbers agree with talvo-batch for every model, precision and scale", {
  runs <- expand.grid(precision = c("fixed", "general"), psd = c("international", "usda"),
                      stringsAsFactors = FALSE)
  for (i in seq_len(nrow(runs))) {
    run <- runs[i, ]
    soils <- random_soils(150, seed = i)
    theirs <- batch(as_texts(soils), "--precision", run$precision, "--psd", run$psd)
    for (model in 0:6) {
      ours <- talvo_estimate(soils, model = model, precision = run$precision, psd = run$psd)
      expect_same_as_batch(ours, rows_of(theirs, model))
    }
  }
})

test_that("the comparison tables' texts agree with talvo-batch", {
  tables <- list(
    list(file = "soils.csv", sep = ",", decimal = ".", psd = "international"),
    list(file = "failures.csv", sep = ",", decimal = ".", psd = "international"),
    list(file = "ssurgo.csv", sep = ",", decimal = ".", psd = "international"),
    list(file = "usda.csv", sep = ",", decimal = ".", psd = "usda"),
    list(file = "unit_headers.csv", sep = ";", decimal = ",", psd = "international"),
    list(file = "field_survey.csv", sep = ";", decimal = ",", psd = "international")
  )
  for (table in tables) {
    cells <- utils::read.table(cases(table$file), header = TRUE, sep = table$sep, quote = "\"",
                               colClasses = "character", na.strings = character(),
                               check.names = FALSE, strip.white = FALSE)
    cells$fc <- NULL # talvo-batch would want a prefix for its own fc
    theirs <- suppressWarnings(batch(cells, "--decimal", table$decimal, "--psd", table$psd,
                                     delimiter = table$sep))
    for (model in 0:6) {
      ours <- function() {
        suppressWarnings(talvo_estimate(cells, model = model, decimal = table$decimal,
                                        psd = table$psd))
      }
      # A model reading a column the table lacks: talvo-batch leaves it out, R refuses it.
      if (is.null(rows_of(theirs, model))) {
        expect_error(ours(), "missing input", class = "talvo_error")
      } else {
        expect_same_as_batch(ours(), rows_of(theirs, model), table$decimal)
      }
    }
  }
})
