#' Field capacity, wilting point and available water of soils
#'
#' Estimates each soil with one model, as `talvo-batch` estimates the rows of
#' a table: the same numbers to the last bit, the same flags and the same
#' error texts.
#'
#' @param data A data frame (or tibble, or list of columns) whose columns hold
#'   the inputs, found by name as `talvo-batch` finds them: in any case, with a
#'   unit ("Sand (\%)", "sand_pct"), SSURGO's `sandtotal_r`, `silttotal_r`,
#'   `claytotal_r`, and organic matter `om` or `om_r`, read as organic carbon
#'   OC = OM / 1.724 with a warning. `NULL` to give the inputs as vectors.
#' @param model The model: its position (0 to 6), its name, or a unique
#'   beginning of its name, in any case (see [talvo_models()]).
#' @param sand,silt,clay Contents in percent (sand 0.02-2 mm, silt
#'   0.002-0.02 mm on the international scale; see `psd`): numeric vectors, or
#'   character vectors read as a table's cells are. Each holds one value per
#'   soil or one for all. Given, they are read instead of `data`'s column.
#' @param oc Organic carbon, in the unit the model reads (g/kg or \%, see the
#'   `input_units` column of [talvo_models()]).
#' @param precision "fixed", the two-decimal numbers the calculator finally
#'   shows, or "general", the 15-digit numbers it works out before.
#' @param psd The particle-size scale of sand, silt and clay: "international" (or "isss")
#'   (silt 2-20 um, what the models read) or "usda" (silt 2-50 um, as SoilGrids
#'   and SSURGO give them), converted to the international one and flagged
#'   "psd"; the texture is then classed on the USDA triangle.
#' @param decimal The decimal separator of inputs given as texts: "." or ",".
#'
#' @return A data frame with one row per soil, the row names of `data` (or of
#'   the first named input), and the columns
#' \describe{
#'   \item{fc, pwp}{field capacity and permanent wilting point, in the model's
#'     unit ("\% w/w" or "\% v/v"), also given as their `units` attribute; NA
#'     where the soil could not be estimated}
#'   \item{awc}{available water capacity, in mm of water in a 15 cm layer}
#'   \item{unit}{the unit of fc and pwp}
#'   \item{texture}{the texture class, a factor; NA where sand, silt and clay
#'     place the soil on no class}
#'   \item{flags}{warnings, such as "sum;domain" ("" for none): sum (sand,
#'     silt and clay do not add up to 100), range, oc, fc<=pwp, result, psd
#'     and domain (outside the soils the model was fitted on)}
#'   \item{error}{why the soil could not be estimated, such as
#'     "Missing: clay" or 'Type mismatch: clay "twenty"'; NA where it was}
#' }
#' An NA, NaN or empty text is a value nobody measured: the soils that need it
#' come out NA, with their error.
#'
#' @examples
#' talvo_estimate(model = "rawls", sand = 40, clay = 20, oc = 1.2)
#'
#' soils <- data.frame(sand = c(40, 88, 20), silt = c(40, 7, 50),
#'                     clay = c(20, 5, 30), oc = c(1.2, 0.4, NA))
#' talvo_estimate(soils, model = 2)
#' @export
talvo_estimate <- function(data = NULL, model, sand = NULL, silt = NULL,
                           clay = NULL, oc = NULL, precision = "fixed",
                           psd = "international", decimal = ".") {
  call <- sys.call()
  position <- engine(call, .Call(talvo_model_position, model))
  sheet <- talvo_models()[position + 1, ]
  reads <- strsplit(sheet$reads, ", ", fixed = TRUE)[[1]]
  inputs <- list(sand = sand, silt = silt, clay = clay, oc = oc)
  if (!is.null(data)) {
    inputs <- table_inputs(data, inputs, reads, decimal, call)
  }
  given <- inputs
  inputs <- lapply(names(inputs), function(name) {
    input_vector(inputs[[name]], name, call)
  })
  names(inputs) <- c("sand", "silt", "clay", "oc")
  require_inputs(inputs, reads, sheet$name, data, call)
  out <- engine(call, .Call(talvo_estimate_columns, model, inputs$sand, inputs$silt,
                inputs$clay, inputs$oc, precision, psd, decimal))
  results_frame(out, sheet$unit, row_names(data, given, length(out$fc)))
}

# The inputs from a table's columns, found as talvo-batch finds them; an input
# also given by name is that one. With keep_om, an organic-matter column stays
# OM, told by the attribute "om".
table_inputs <- function(data, inputs, reads, decimal, call, keep_om = FALSE) {
  if (!is.list(data)) {
    stop(talvo_error("data must be a data frame or a list of columns", call))
  }
  columns <- names(data)
  if (is.null(columns)) {
    columns <- rep("", length(data))
  }
  found <- engine(call, .Call(talvo_find_columns, enc2utf8(as.character(columns))))
  for (name in names(inputs)) {
    if (!is.null(inputs[[name]])) {
      next
    }
    reading <- name %in% reads
    if (!is.na(found$problem[[name]]) && reading) {
      stop(talvo_error(found$problem[[name]], call))
    }
    column <- found$column[[name]]
    if (is.na(column)) {
      next
    }
    values <- data[[column]]
    if (!is.na(found$note[[name]]) && keep_om) {
      attr(inputs, "om") <- TRUE
    } else if (!is.na(found$note[[name]])) {
      values <- as_numbers(values, decimal, call) / 1.724
      if (reading) {
        warning(found$note[[name]], call. = FALSE)
      }
    }
    inputs[name] <- list(values)
  }
  inputs
}

# A column as numbers, its texts read as a table's cells are.
as_numbers <- function(values, decimal, call) {
  values <- input_vector(values, "oc", call)
  if (is.character(values)) {
    values <- engine(call, .Call(talvo_read_texts, values, decimal))
  }
  values
}

# An input as the engine takes it: NULL, doubles or texts.
input_vector <- function(values, name, call) {
  if (is.null(values)) {
    return(NULL)
  }
  if (is.factor(values)) {
    values <- as.character(values)
  }
  # A column of NA alone comes as logical: no number in any soil.
  if (is.logical(values) && all(is.na(values))) {
    values <- as.double(values)
  }
  if (is.integer(values)) {
    values <- as.double(values)
  }
  if (!is.atomic(values) || !(is.double(values) || is.character(values)) ||
      !is.null(dim(values)) && length(dim(values)) > 1 && ncol(values) > 1) {
    stop(talvo_error(sprintf("%s: give numbers or texts, not %s", name,
                             class(values)[1]), call))
  }
  if (is.character(values)) {
    values <- enc2utf8(values)
  }
  as.vector(values)
}

# An error naming each input the model reads that was not given.
require_inputs <- function(inputs, reads, model_name, data, call) {
  missing <- reads[vapply(inputs[reads], is.null, logical(1))]
  if (length(missing) == 0) {
    return(invisible())
  }
  found <- ""
  if (!is.null(data)) {
    found <- sprintf("; the data has no column %s, only %s",
                     paste(missing, collapse = " or "),
                     paste(utils::head(names(data), 12), collapse = ", "))
  }
  stop(talvo_error(sprintf("missing input %s: %s reads %s%s",
                           paste(missing, collapse = " and "), model_name,
                           paste(reads, collapse = ", "), found), call))
}

# The data's row names, or the names of the first input that has them.
row_names <- function(data, inputs, count) {
  if (is.data.frame(data)) {
    return(attr(data, "row.names"))
  }
  for (values in inputs) {
    if (!is.null(names(values)) && length(values) == count) {
      return(names(values))
    }
  }
  NULL
}

results_frame <- function(out, unit, names) {
  count <- length(out$fc)
  attr(out$fc, "units") <- unit
  attr(out$pwp, "units") <- unit
  attr(out$awc, "units") <- "mm"
  texture <- structure(out$texture, levels = .Call(talvo_texture_names),
                       class = "factor")
  frame <- list(fc = out$fc, pwp = out$pwp, awc = out$awc,
                unit = rep(unit, count), texture = texture,
                flags = out$flags, error = out$error)
  if (is.null(names) || length(names) != count) {
    names <- .set_row_names(count)
  }
  structure(frame, class = "data.frame", row.names = names)
}
