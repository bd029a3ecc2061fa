#' Which model fits: scores against measured water
#'
#' Each model's scores against measured FC, PWP or AWC, exactly as
#' `talvo-batch --metrics` reckons them: on the 15-digit results, with 95 \%
#' bootstrap intervals from 1000 resamples with a fixed seed.
#'
#' @param data A data frame (or tibble) with the inputs, found as
#'   [talvo_estimate()] finds them, and the measured columns.
#' @param measured The measured columns' names, by quantity: any of `fc`,
#'   `pwp` and `awc`, such as `c(fc = "fc_lab", pwp = "pwp_lab")`. AWC in mm
#'   of a 15 cm layer.
#' @param models "all" (every model whose inputs the data has), or models as
#'   [talvo_estimate()] takes one.
#' @param measured_unit The unit of measured FC and PWP: "v/v", "w/w" or
#'   "fraction" (cm3/cm3, read as \% v/v). Estimates in the other unit are
#'   converted with `bd`.
#' @param bd The name of the bulk-density column (g/cm3; default a column
#'   named bd, else 1.49).
#' @param psd,decimal As [talvo_estimate()] takes them.
#' @param report A file to write the evaluation to as one HTML page, plots
#'   inline; NULL for none.
#'
#' @return A data frame with one row per model and quantity: model, unit,
#'   quantity, n, me, me_low, me_high, mae, rmse, rmse_low, rmse_high, r2 and
#'   nse (in the unit of the quantity; NA where a score cannot be reckoned).
#' @examples
#' soils <- data.frame(sand = c(40, 10, 65, 20), silt = c(40, 30, 25, 50),
#'                     clay = c(20, 60, 10, 30), oc = c(5, 12.5, 8.4, 3),
#'                     fc_lab = c(31, 45, 18, 36))
#' talvo_evaluate(soils, measured = c(fc = "fc_lab"), models = c(0, 1))
#' @export
talvo_evaluate <- function(data, measured, models = "all", measured_unit = "v/v",
                           bd = NULL, psd = "international", decimal = ".",
                           report = NULL) {
  call <- sys.call()
  if (!is.data.frame(data)) {
    stop(talvo_error("data must be a data frame", call))
  }
  quantities <- c("fc", "pwp", "awc")
  if (length(measured) == 0 || is.null(names(measured)) ||
      !all(names(measured) %in% quantities)) {
    stop(talvo_error("measured: give columns for fc, pwp or awc, such as c(fc = \"fc_lab\")",
                     call))
  }
  catalogue <- talvo_models()
  found <- lapply(c(sand = "sand", silt = "silt", clay = "clay", oc = "oc"), function(x) NULL)
  inputs <- table_inputs(data, found, c("sand", "silt", "clay", "oc"), decimal, call)
  has <- c("sand", "silt", "clay", "oc")[!vapply(inputs, is.null, logical(1))]
  reads <- strsplit(catalogue$reads, ", ", fixed = TRUE)
  if (identical(models, "all")) {
    models <- as.list(catalogue$position[vapply(reads, function(r) all(r %in% has), logical(1))])
  } else {
    models <- as.list(models)
    for (model in models) {
      position <- engine(call, .Call(talvo_model_position, model))
      lacking <- setdiff(reads[[position + 1]], has)
      if (length(lacking) > 0) {
        stop(talvo_error(sprintf("%s reads %s: the data has no such column",
                                 catalogue$name[position + 1],
                                 paste(lacking, collapse = ", ")), call))
      }
    }
  }
  inputs <- lapply(inputs, function(values) {
    if (is.null(values)) NULL else as_numbers(values, decimal, call)
  })
  truth <- lapply(quantities, function(q) {
    if (!q %in% names(measured)) {
      return(NULL)
    }
    column <- measured[[q]]
    if (!column %in% names(data)) {
      stop(talvo_error(sprintf("measured %s: the data has no column %s", q, column), call))
    }
    as_numbers(data[[column]], decimal, call)
  })
  density <- if (is.null(bd)) column_named(data, "bd", call) else data[[bd]]
  density <- if (is.null(density)) NULL else as_numbers(density, decimal, call)
  source <- NULL
  if (!is.null(report)) {
    headers <- vapply(quantities, function(q) {
      if (q %in% names(measured)) measured[[q]] else ""
    }, character(1))
    source <- c(deparse(substitute(data))[1], headers)
  }
  out <- engine(call, .Call(talvo_evaluate_columns, models, unname(inputs), truth, density,
                measured_unit, psd, source))
  if (out$note != "") {
    warning(out$note, call. = FALSE)
  }
  if (!is.null(report)) {
    writeLines(out$report, report, useBytes = TRUE, sep = "")
  }
  as.data.frame(out$scores, stringsAsFactors = FALSE)
}
