# talvo_evaluate against talvo-batch --metrics on the laboratory table.

test_that("scores agree with talvo-batch --metrics", {
  lab <- file.path(Sys.getenv("TALVO_DOCS"), "lab.csv")
  scores <- tempfile(fileext = ".csv")
  report <- tempfile(fileext = ".html")
  on.exit(unlink(c(scores, report)))
  status <- system2(Sys.getenv("TALVO_BATCH"),
                    c("--model", "all", "--measured", "fc=FC_lab,pwp=PWP_lab", "--metrics", scores,
                      "--output", "/dev/null", lab), stdout = FALSE, stderr = FALSE)
  stopifnot(status %in% c(0, 1))
  theirs <- utils::read.csv(scores, colClasses = "character", na.strings = character())
  ours <- talvo_evaluate(utils::read.csv(lab), measured = c(fc = "FC_lab", pwp = "PWP_lab"),
                         report = report)
  expect_identical(ours$model, theirs$model)
  expect_identical(ours$quantity, theirs$quantity)
  expect_identical(ours$n, as.integer(theirs$n))
  for (name in names(ours)[5:13]) {
    written <- ifelse(is.na(ours[[name]]), "", sprintf("%.15g", ours[[name]]))
    expect_identical(talvo:::as_numbers(written, ".", NULL),
                     talvo:::as_numbers(theirs[[name]], ".", NULL), label = name)
  }
  expect_match(readLines(report, warn = FALSE)[1], "<!DOCTYPE html>", ignore.case = TRUE)
})

test_that("what cannot be scored is refused", {
  lab <- data.frame(sand = c(40, 60), clay = c(20, 10), fc_lab = c(30, 20))
  expect_error(talvo_evaluate(lab, measured = c(theta = "fc_lab")), "give columns for fc",
               class = "talvo_error")
  expect_error(talvo_evaluate(lab, measured = c(fc = "nope")), "no column nope",
               class = "talvo_error")
  expect_error(talvo_evaluate(lab, measured = c(fc = "fc_lab"), models = "rawls"),
               "reads oc: the data has no such column", class = "talvo_error")
  expect_error(talvo_evaluate(lab, measured = c(fc = "fc_lab"), measured_unit = "kg"),
               "measured_unit 'kg'", class = "talvo_error")
})
