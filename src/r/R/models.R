#' The models and their sheets
#'
#' The catalogue of pedotransfer models, as `talvo-batch --list-models --long`
#' lists it: what each reads, in which units, what its results mean, the soils
#' it was fitted on and where it misleads.
#'
#' @return A data frame, one row per model, with the columns
#' \describe{
#'   \item{position}{the model's position, 0 to 6, by which it may be named}
#'   \item{name}{its name, by which (or by a unique beginning of it, in any
#'     case) it may be named}
#'   \item{reads}{the inputs its equations read, such as "sand, clay, oc"}
#'   \item{unit}{the unit of its FC and PWP: "\% w/w" (g of water per 100 g of
#'     dry soil) or "\% v/v" (cm3 per 100 cm3 of soil)}
#'   \item{input_units}{the unit of each input it reads}
#'   \item{results}{what its FC and PWP mean}
#'   \item{awc}{how its AWC, in mm of a 15 cm layer, follows from them}
#'   \item{source}{the published reference}
#'   \item{calibration}{the ranges of the soils it was fitted on, or
#'     "not published"}
#'   \item{caveats}{what to know before trusting its numbers}
#' }
#' @examples
#' models <- talvo_models()
#' models[, c("position", "name", "reads", "unit")]
#' @export
talvo_models <- function() {
  sheets <- engine(sys.call(), .Call(talvo_model_sheets))
  as.data.frame(sheets, stringsAsFactors = FALSE)
}
