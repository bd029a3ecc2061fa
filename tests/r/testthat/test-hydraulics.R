# talvo_hydraulics against talvo-batch --hydraulics, and what R adds: row names, units, refusals.

# A messy table as texts: blanks around numbers, empty and unreadable cells, a density out of
# range, topsoil cells in every spelling, a soil with no USDA equivalent, full doubles.
messy <- data.frame(
  sand = c("40", "88", "20", "", "10", "40", " 35.5 ", "70", "33.333333333333336", "45"),
  silt = c("40", "7", "50", "40", "80", "40", "40", "25", "33.333333333333336", "35"),
  clay = c("20", "5", "30", "20", "10", "20", "24.5", "5", "33.33333333333333", "20"),
  om = c("2.5", "0.7", "abc", "2", "1", "2", "3", "1.5", "0.1", "9"),
  bd = c("1.4", "", "1.3", "1.2", "1.5", "5", "1.45", "1.5", "1.0000000000000002", "NA"),
  topsoil = c("1", "0", "yes", "1", "1", "maybe", "no", "", "Top", "sub"),
  stringsAsFactors = FALSE)

expect_same_hydraulics <- function(ours, theirs) {
  expect_identical(ours$hydraulic_model, theirs$hydraulic_model)
  for (column in grep(" \\(|^n$", names(theirs), value = TRUE)) {
    name <- sub(" .*", "", column)
    expected <- talvo:::as_numbers(theirs[[column]], ".", NULL)
    expected[theirs[[column]] == ""] <- NA_real_
    expect_identical(as.vector(ours[[name]]), expected, label = name)
  }
  expect_identical(ours$flags, theirs$flags)
  expect_identical(ifelse(is.na(ours$error), "", ours$error), theirs$error)
}

test_that("a messy table agrees with talvo-batch to the bit, under every option", {
  defaults <- list(topsoil = NA, psd = "international", oc_unit = "%", fc_head = 330,
                   precision = "general")
  runs <- list(
    list(batch = c("--topsoil", "yes"), topsoil = TRUE, precision = "fixed"),
    list(batch = c("--psd", "usda", "--fc-head", "100", "--precision", "general"),
         psd = "usda", fc_head = 100),
    list(batch = c("--oc-unit", "g/kg", "--topsoil", "no", "--precision", "general"),
         oc = TRUE, oc_unit = "g/kg", topsoil = FALSE)
  )
  for (run in runs) {
    cells <- messy
    if (isTRUE(run$oc)) names(cells)[names(cells) == "om"] <- "oc"
    theirs <- batch(cells, run = c("--hydraulics", "all", run$batch))
    options <- utils::modifyList(defaults, run[names(defaults)[names(defaults) %in% names(run)]])
    ours <- do.call(talvo_hydraulics, c(list(cells, model = "all"), options))
    expect_same_hydraulics(ours, theirs)
  }
})

test_that("numbers and NA given as numbers agree with their texts in talvo-batch", {
  set.seed(44)
  soils <- data.frame(sand = stats::runif(40, 5, 90), silt = stats::runif(40, 5, 60),
                      clay = stats::runif(40, 1, 60), oc = stats::runif(40, 0, 6),
                      bd = stats::runif(40, 0.9, 1.9), topsoil = rep(c(1, 0), 20))
  soils$sand[3] <- NA
  soils$bd[c(5, 6)] <- NA
  soils$clay[7] <- 0 # HYPRES divides by it
  texts <- as.data.frame(lapply(soils, function(values) {
    ifelse(is.na(values), "", sprintf("%.17g", values))
  }))
  for (model in c("saxton-rawls", "hypres")) {
    theirs <- batch(texts, "--precision", "general", "--psd", "usda",
                    run = c("--hydraulics", model))
    ours <- talvo_hydraulics(soils, model = model, psd = "usda", precision = "general")
    expect_same_hydraulics(ours, theirs)
  }
})

test_that("rows keep their names, the models' rows of a soil together, and units", {
  soils <- data.frame(sand = c(40, 88), silt = c(40, 7), clay = c(20, 5), om = c(2, 1),
                      row.names = c("p1", "p2"))
  one <- talvo_hydraulics(soils)
  expect_identical(rownames(one), c("p1", "p2"))
  all <- talvo_hydraulics(soils, model = "all", topsoil = TRUE)
  expect_identical(rownames(all), c("p1.saxton-rawls", "p1.hypres", "p2.saxton-rawls",
                                    "p2.hypres"))
  expect_identical(all$hydraulic_model, rep(c("saxton-rawls", "hypres"), 2))
  expect_identical(all[c(1, 3), "fc"], as.vector(one$fc))
  units <- vapply(all[c("theta_r", "alpha", "n", "ks", "awc")], attr, "", "units")
  expect_identical(unname(units), c("% v/v", "1/cm", "1", "cm/day", "% v/v"))
  # One value stands for every soil; named vectors lend their names.
  vectors <- talvo_hydraulics(sand = c(a = 40, b = 88), silt = c(40, 7), clay = c(20, 5),
                              om = c(2, 1))
  expect_identical(rownames(vectors), c("a", "b"))
  expect_identical(as.vector(vectors$ks), as.vector(one$ks))
  # An OM column is OM, read as the OM argument is.
  expect_identical(talvo_hydraulics(sand = 40, silt = 40, clay = 20, om = 2)$fc,
                   talvo_hydraulics(soils[1, ])$fc)
})

test_that("what cannot be run is refused as a talvo_error, never run half", {
  soils <- data.frame(sand = 40, silt = 40, clay = 20, oc = 1)
  refusals <- list(
    list(quote(talvo_hydraulics(soils, model = "hypres")), "hypres reads topsoil"),
    list(quote(talvo_hydraulics(soils[1:3])), "missing input oc"),
    list(quote(talvo_hydraulics(soils, model = "rosetta")), "saxton-rawls, hypres or all"),
    list(quote(talvo_hydraulics(soils, fc_head = 33)), "330 or 100"),
    list(quote(talvo_hydraulics(soils, model = "hypres", topsoil = "maybe")), "yes or no"),
    list(quote(talvo_hydraulics(oc = 1, om = 2)), "oc or om, not both"),
    list(quote(talvo_hydraulics(sand = 1:3, silt = 1:2, clay = 1, oc = 1)), "2 values, not 3")
  )
  for (refusal in refusals) {
    expect_error(eval(refusal[[1]]), refusal[[2]], class = "talvo_error")
  }
})

test_that("a loam comes out as the paper's table prints it, in the columns' units", {
  # Saxton and Rawls' Table 3, loam 40/20 at OM 2.5 %: WP 14, FC 28, SAT 46 % v/v and
  # Ks 15.5 mm/h, which is 37.2 cm/day; printed to whole percent and a tenth of mm/h.
  loam <- talvo_hydraulics(sand = 40, silt = 40, clay = 20, om = 2.5, psd = "usda",
                           precision = "general")
  printed <- list(pwp = c(14, 0.5), fc = c(28, 0.5), theta_s = c(46, 0.5),
                  awc = c(14, 1), ks = c(15.5 * 2.4, 0.05 * 2.4))
  for (name in names(printed)) {
    expect_lt(abs(loam[[name]] - printed[[name]][1]), printed[[name]][2], label = name)
  }
  expect_identical(loam$flags, "")
})

test_that("a density given as a number is named as R prints it when out of range", {
  soils <- talvo_hydraulics(sand = 40, silt = 40, clay = 20, oc = 1, bd = c(1.4, 9, NA),
                            model = "hypres", topsoil = FALSE, psd = "usda")
  expect_identical(soils$error, c(NA, "Out of range: bd 9", "Missing: bd"))
  expect_identical(is.na(soils$fc), c(FALSE, TRUE, TRUE))
})

test_that("sd gives talvo-batch's percentiles and errors to the bit", {
  soils <- messy[c(1, 2, 4, 6, 7, 8, 10), ]
  # Spreads as a table's cells: read, empty, a text, below 0 and wide.
  soils$sand_sd <- c("2", "1.5", "2", "", "abc", "-1", "80")
  soils$oc_sd <- c("0.2", "0.1", "0", "0.3", "0.2", "0.1", "0.5")
  theirs <- batch(soils, "--precision", "general", "--topsoil", "yes",
                  "--sd", "sand=sand_sd,clay=1.5,oc=oc_sd", "--seed", "7",
                  run = c("--hydraulics", "all"))
  ours <- talvo_hydraulics(soils, model = "all", topsoil = TRUE, precision = "general",
                           sd = list(sand = "sand_sd", clay = 1.5, oc = "oc_sd"), seed = 7)
  expect_same_hydraulics(ours, theirs)
  # The columns in talvo-batch's order, after the table's own.
  expect_identical(names(ours)[-1], sub(" .*", "", names(theirs)[-seq_len(ncol(soils) + 1)]))
  # The same spreads as numbers, one per soil or one for all, and fixed precision.
  numbers <- suppressWarnings(as.numeric(soils$sand_sd))
  fixed <- batch(soils[1:2, ], "--sd", "sand=sand_sd,clay=1.5",
                 run = c("--hydraulics", "saxton-rawls"))
  given <- talvo_hydraulics(soils[1:2, ], sd = list(sand = numbers[1:2], clay = 1.5))
  expect_same_hydraulics(given, fixed)
})

test_that("percentiles bracket the soil's own numbers, in the columns' units", {
  loam <- talvo_hydraulics(sand = 40, silt = 40, clay = 20, om = 2.5, psd = "usda",
                           sd = list(sand = 3, clay = 3, oc = 0.5), draws = 2000)
  for (name in c("fc", "pwp", "awc", "theta_s", "ks")) {
    low <- loam[[paste0(name, "_p05")]]
    high <- loam[[paste0(name, "_p95")]]
    expect_true(low < loam[[name]] && loam[[name]] < high, label = name)
    expect_identical(attr(high, "units"), attr(loam[[name]], "units"))
  }
  # No spread, no width: every draw is the soil itself.
  exact <- talvo_hydraulics(sand = 40, silt = 40, clay = 20, om = 2.5, psd = "usda",
                            sd = list(sand = 0))
  expect_identical(exact$fc_p05, exact$fc)
  expect_identical(exact$ks_p95, exact$ks)
})

test_that("spreads that cannot be read are refused before anything runs", {
  soils <- data.frame(sand = 40, silt = 40, clay = 20, oc = 1)
  refusals <- list(
    list(quote(talvo_hydraulics(soils, sd = list(sand = 1, silt = 1, clay = 1))),
         "at most two"),
    list(quote(talvo_hydraulics(soils, sd = list(bd = 1))), "give sand, silt, clay or oc"),
    list(quote(talvo_hydraulics(soils, sd = c(sand = 1, sand = 2))), "sand twice"),
    list(quote(talvo_hydraulics(soils, sd = list(sand = -1))), "0 or more"),
    list(quote(talvo_hydraulics(soils, sd = list(sand = "sand_sd"))), "no such column"),
    list(quote(talvo_hydraulics(soils, sd = 2)), "named list"),
    list(quote(talvo_hydraulics(soils, sd = list(sand = 1:3))), "3 values, not 1"),
    list(quote(talvo_hydraulics(soils, sd = list(sand = 1), draws = 10)), "1000 to 1000000"),
    list(quote(talvo_hydraulics(soils, sd = list(sand = 1), seed = 1.5)), "whole number"),
    list(quote(talvo_hydraulics(soils, seed = 2)), "draws and seed go with sd")
  )
  for (refusal in refusals) {
    expect_error(eval(refusal[[1]]), refusal[[2]], class = "talvo_error")
  }
})
