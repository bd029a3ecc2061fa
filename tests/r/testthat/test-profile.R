# talvo_profile against talvo-batch --profiles --summary, in 15 digits, on the messy horizons.

batch_profiles <- function(model, ..., table = cases("horizons_messy.csv")) {
  executable <- Sys.getenv("TALVO_BATCH")
  rows <- tempfile(fileext = ".csv")
  summary <- tempfile(fileext = ".csv")
  on.exit(unlink(c(rows, summary)))
  status <- system2(executable, c("--model", model, "--profiles", "--precision", "general", ...,
                                  "--output", rows, "--summary", summary,
                                  table), stdout = FALSE, stderr = FALSE)
  stopifnot(status %in% c(0, 1))
  read <- function(file) {
    utils::read.csv(file, colClasses = "character", na.strings = character(),
                    check.names = FALSE)
  }
  list(horizons = read(rows), summary = read(summary))
}

# Numbers as 15-digit texts, the form in which talvo-batch writes its sums.
as_written <- function(values) {
  talvo:::as_numbers(ifelse(is.na(values), "", sprintf("%.15g", values)), ".", NULL)
}
as_read <- function(texts) talvo:::as_numbers(texts, ".", NULL)

test_that("horizons and profiles agree with talvo-batch", {
  horizons <- utils::read.csv(cases("horizons_messy.csv"), colClasses = "character",
                              na.strings = character())
  runs <- list(list(model = 0, options = c("--cf-by", "weight", "--root-depth", "50"),
                    cf_by = "weight", root_depth = 50),
               list(model = 2, options = c("--depletion", "0.4"), cf_by = "volume",
                    root_depth = 100))
  for (run in runs) {
    theirs <- batch_profiles(run$model, run$options)
    ours <- suppressWarnings(talvo_profile(horizons, model = run$model, cf_by = run$cf_by,
                                           root_depth = run$root_depth,
                                           depletion = if (run$model == 2) 0.4 else 0.5))
    expect_identical(ours$summary$profile, theirs$summary$profile)
    for (name in c("depth_cm", "taw_0_30", "taw_0_100", "taw_root", "raw_root")) {
      expect_identical(as_written(ours$summary[[name]]), as_read(theirs$summary[[name]]),
                       label = name)
    }
    expect_identical(ours$summary$flags, theirs$summary$flags)
    for (name in c("theta_fc", "theta_pwp", "aw_mm")) {
      expect_identical(as_written(ours$horizons[[name]]), as_read(theirs$horizons[[name]]),
                       label = name)
    }
    expect_identical(ours$horizons$flags, theirs$horizons$flags)
    expect_identical(ifelse(is.na(ours$horizons$error), "", ours$horizons$error),
                     theirs$horizons$error)
  }
})

test_that("options out of range are refused in the tools' words", {
  horizons <- data.frame(profile = "P", top = 0, bottom = 30, sand = 40, clay = 20)
  expect_error(talvo_profile(horizons, 0, root_depth = 0), "root_depth '0': give a depth",
               class = "talvo_error")
  expect_error(talvo_profile(horizons, 0, depletion = 2), "depletion '2': give a share",
               class = "talvo_error")
  expect_error(talvo_profile(horizons, 0, cf_by = "mass"), "cf_by 'mass': give volume or weight",
               class = "talvo_error")
  expect_error(talvo_profile(horizons[, -1], 0), "no column profile", class = "talvo_error")
})

test_that("horizons given as numbers sum as their texts do", {
  texts <- utils::read.csv(file.path(Sys.getenv("TALVO_DOCS"), "horizons.csv"),
                           colClasses = "character")
  numbers <- utils::read.csv(file.path(Sys.getenv("TALVO_DOCS"), "horizons.csv"))
  numbers$bd[2] <- NA # no density measured: a % w/w model takes 1.49, flagged bd
  texts$bd[2] <- ""
  for (model in c(0, 3)) {
    from_texts <- talvo_profile(texts, model = model)
    from_numbers <- talvo_profile(numbers, model = model)
    expect_identical(from_numbers$summary, from_texts$summary)
    expect_identical(from_numbers$horizons, from_texts$horizons)
    expect_identical(from_numbers$horizons$flags[2], if (model == 0) "bd" else "")
  }
  skip_if_not_installed("tibble")
  expect_identical(talvo_profile(tibble::as_tibble(numbers), model = 0)$summary,
                   talvo_profile(numbers, model = 0)$summary)
})

test_that("measured water replaces the estimate as talvo-batch replaces it", {
  horizons <- utils::read.csv(cases("horizons_measured.csv"), colClasses = "character",
                              na.strings = character(), check.names = FALSE)
  names(horizons)[names(horizons) %in% c("site", "DUL (cm3/cm3)")] <- c("profile", "dul")
  table <- tempfile(fileext = ".csv")
  on.exit(unlink(table))
  utils::write.csv(horizons, table, row.names = FALSE)
  theirs <- batch_profiles(0, table = table)
  ours <- suppressWarnings(talvo_profile(horizons, model = 0))
  # talvo-batch's added theta_fc comes after the input's own.
  added <- function(name) theirs$horizons[[max(which(names(theirs$horizons) == name))]]
  for (name in c("theta_fc", "theta_pwp", "aw_mm")) {
    expect_identical(as_written(ours$horizons[[name]]), as_read(added(name)), label = name)
  }
  expect_identical(ours$horizons$flags, theirs$horizons$flags)
  expect_true(any(grepl("measured", ours$horizons$flags)))
  for (name in c("taw_0_30", "taw_0_100", "taw_root")) {
    expect_identical(as_written(ours$summary[[name]]), as_read(theirs$summary[[name]]),
                     label = name)
  }
})
