#' talvo: the TALVO calculator's pedotransfer models in R
#'
#' Field capacity (FC), permanent wilting point (PWP) and available water
#' capacity (AWC) of soils by the calculator's seven models, and their
#' water-retention curve and saturated conductivity by its two hydraulic
#' models, through the same engine as its window, `talvo-batch` and its
#' Python module: each number is the one they give, to the last bit.
#'
#' [talvo_models()] lists the models and their sheets; [talvo_estimate()]
#' estimates data frames and vectors of soils; [talvo_hydraulics()] gives
#' their water-retention curves and saturated conductivity, with percentiles
#' from the inputs' standard deviations.
#'
#' Units: sand, silt and clay in percent; organic carbon (oc) in the unit the
#' model reads (see the `input_units` column of [talvo_models()]). FC and PWP
#' come in the model's unit, "% w/w" or "% v/v"; AWC in mm of water in a 15 cm
#' layer.
#'
#' @useDynLib talvo, .registration = TRUE
#' @importFrom Rcpp evalCpp
#' @keywords internal
"_PACKAGE"

# A classed condition, so that callers can tell the calculator's refusals from
# other errors.
talvo_error <- function(message, call) {
  structure(class = c("talvo_error", "error", "condition"),
            list(message = message, call = call))
}

# `value`, a call of an engine entry point, whose refusal becomes a talvo_error
# raised by `call`.
engine <- function(call, value) {
  tryCatch(value, error = function(e) stop(talvo_error(conditionMessage(e), call)))
}
