# The reference: the built talvo-batch with --model all (or `run`'s options), on a table
# written as texts.
batch <- function(table, ..., delimiter = ",", run = c("--model", "all")) {
  executable <- Sys.getenv("TALVO_BATCH")
  if (executable == "") {
    stop("TALVO_BATCH must name the built talvo-batch (ctest sets it)")
  }
  input <- tempfile(fileext = ".csv")
  output <- tempfile(fileext = ".csv")
  on.exit(unlink(c(input, output)))
  utils::write.table(table, input, sep = delimiter, quote = TRUE, row.names = FALSE,
                     na = "", qmethod = "double", fileEncoding = "UTF-8")
  status <- system2(executable, c(run, ..., "-o", output, input),
                    stdout = FALSE, stderr = FALSE)
  stopifnot(status %in% c(0, 1))
  utils::read.table(output, header = TRUE, sep = delimiter, quote = "\"",
                    colClasses = "character", na.strings = character(), check.names = FALSE,
                    comment.char = "", encoding = "UTF-8")
}

# talvo_estimate's results as talvo-batch writes them, numbers as the numbers of its texts:
# read by the engine, as R's as.numeric() misses the nearest double of some 15-digit texts.
expect_same_as_batch <- function(ours, theirs, decimal = ".") {
  for (name in c("fc", "pwp", "awc")) {
    numbers <- talvo:::as_numbers(theirs[[name]], decimal, NULL)
    expected <- ifelse(theirs[[name]] == "", NA_real_, numbers)
    expect_identical(as.vector(ours[[name]]), expected, label = name)
  }
  expect_identical(ours$unit, theirs$unit)
  expect_identical(ifelse(is.na(ours$texture), "", as.character(ours$texture)), theirs$texture)
  expect_identical(ours$flags, theirs$flags)
  expect_identical(ifelse(is.na(ours$error), "", ours$error), theirs$error)
}

cases <- function(name) file.path(Sys.getenv("TALVO_CASES"), name)

# Each model's rows of talvo-batch's output, in its order; NULL for a model it left out.
rows_of <- function(theirs, model) {
  rows <- theirs[theirs$model == talvo_models()$name[model + 1], ]
  if (nrow(rows) == 0) NULL else rows
}
