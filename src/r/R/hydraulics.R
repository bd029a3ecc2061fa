#' Water-retention curve and saturated conductivity of soils
#'
#' Estimates each soil's water-retention curve with Saxton and Rawls (2006)
#' or HYPRES (\enc{Wösten}{Wosten} et al. 1999), as `talvo-batch --hydraulics` estimates
#' the rows of a table: the same numbers to the last bit, the same flags and
#' the same error texts.
#'
#' Both models read sand, silt and clay on the USDA scale and organic matter
#' (OM) in \%: organic carbon is read as OM = OC x 1.724, or give OM itself.
#'
#' @param data A data frame (or tibble, or list of columns) whose columns hold
#'   the inputs, found by name as `talvo-batch` finds them (see
#'   [talvo_estimate()]); an `om` or `om_r` column is read as organic matter.
#'   A `bd` column gives the bulk density and a `topsoil` column (1 or 0, yes
#'   or no) the layer. `NULL` to give the inputs as vectors.
#' @param model "saxton-rawls", "hypres" or "all" (each soil's rows together).
#' @param sand,silt,clay Contents in percent on the scale `psd` names: numeric
#'   vectors, or character vectors read as a table's cells are. Each holds one
#'   value per soil or one for all. Given, they are read instead of `data`'s.
#' @param oc Organic carbon in `oc_unit`.
#' @param om Organic matter in \%, instead of `oc`.
#' @param bd Bulk density in g/cm3: HYPRES reads it; for Saxton and Rawls a
#'   measured one sets their density factor. NA where not measured.
#' @param topsoil For HYPRES: `TRUE` or `FALSE` ("yes" or "no") for soils whose topsoil cell
#'   is empty or where there is no such column; `NA` for none. A vector of one
#'   value per soil is read as the column.
#' @param psd The scale of sand, silt and clay: "international" (converted to
#'   USDA and flagged "psd") or "usda".
#' @param oc_unit The unit of `oc`: "\%" or "g/kg".
#' @param fc_head The head in cm at which fc is read from the curve: 330 or
#'   100.
#' @param precision "fixed", the numbers `talvo-batch` writes by default
#'   (water and ks to two decimals, alpha and n to four significant digits),
#'   or "general", the 15-digit numbers.
#' @param decimal The decimal separator of inputs given as texts: "." or ",".
#' @param sd Standard deviations of the inputs, carried through the model by
#'   Monte Carlo as `talvo-batch --hydraulics --sd` carries them: a named list
#'   or vector of sand, silt, clay and oc (at most two of sand, silt and clay:
#'   the third keeps their sum), each one number for every soil, a vector of
#'   one per soil, or the name of a column of `data`. Each is in its input's
#'   unit: oc's in `oc_unit`, or in \% of OM where the organic input is OM.
#' @param draws,seed With `sd`: the soils drawn around each soil (1000 to
#'   1e6, default 1000) and the seed they are drawn from (default 1), so that
#'   the same call gives the same percentiles.
#'
#' @return A data frame with one row per soil and model, the row names of
#'   `data` (with "all", each followed by "." and the model), and the columns
#' \describe{
#'   \item{hydraulic_model}{the model}
#'   \item{theta_r, theta_s}{residual and saturated water content, \% v/v
#'     (Saxton and Rawls have no theta_r: NA)}
#'   \item{alpha, n}{van Genuchten's alpha (1/cm) and n (NA for Saxton and
#'     Rawls, whose curve is a power law)}
#'   \item{ks}{saturated conductivity, cm/day}
#'   \item{fc, pwp, awc}{water at `fc_head` and at 15,000 cm and their
#'     difference, \% v/v}
#'   \item{flags}{warnings, such as "psd;domain" ("" for none)}
#'   \item{fc_p05, fc_p50, fc_p95, ..., ks_p95}{with `sd`, after flags: the
#'     5th, 50th and 95th percentiles over the draws of fc, pwp, awc, theta_s
#'     (\% v/v) and ks (cm/day); NA where the soil or its draws failed}
#'   \item{error}{why the soil (or, with `sd`, its draws) could not be
#'     estimated; NA where it was}
#' }
#' Each number column states its unit in its `units` attribute.
#'
#' @examples
#' talvo_hydraulics(sand = 40, silt = 40, clay = 20, om = 2.5, psd = "usda")
#'
#' soils <- data.frame(sand = c(40, 88), silt = c(40, 7), clay = c(20, 5),
#'                     oc = c(1.2, 0.4), bd = c(1.4, NA), topsoil = c(1, 0))
#' talvo_hydraulics(soils, model = "all")
#'
#' # How sure: sand and clay known to 2 \%, OC to a column of its own.
#' soils$oc_sd <- c(0.2, 0.1)
#' talvo_hydraulics(soils, sd = list(sand = 2, clay = 2, oc = "oc_sd"))
#' @export
talvo_hydraulics <- function(data = NULL, model = "saxton-rawls", sand = NULL,
                             silt = NULL, clay = NULL, oc = NULL, om = NULL,
                             bd = NULL, topsoil = NA, psd = "international",
                             oc_unit = "%", fc_head = 330, precision = "fixed",
                             decimal = ".", sd = NULL, draws = NULL, seed = NULL) {
  call <- sys.call()
  if (!is.null(oc) && !is.null(om)) {
    stop(talvo_error("give oc or om, not both", call))
  }
  inputs <- list(sand = sand, silt = silt, clay = clay, oc = if (is.null(om)) oc else om)
  organic_matter <- !is.null(om)
  layer <- if (length(topsoil) > 1) topsoil else NULL
  if (!is.null(data)) {
    inputs <- table_inputs(data, inputs, names(inputs), decimal, call, keep_om = TRUE)
    organic_matter <- organic_matter || isTRUE(attr(inputs, "om"))
    if (is.null(bd)) bd <- column_named(data, "bd")
    if (is.null(layer)) layer <- column_named(data, "topsoil")
  }
  given <- inputs
  inputs <- lapply(names(inputs), function(name) input_vector(inputs[[name]], name, call))
  names(inputs) <- names(given)
  require_inputs(inputs, names(inputs), "the hydraulic models", data, call)
  inputs["bd"] <- list(input_vector(bd, "bd", call))
  layer <- topsoil_texts(layer)
  count <- if (is.data.frame(data)) nrow(data) else max(lengths(c(inputs, list(layer))))
  for (name in names(inputs)) {
    check_length(inputs[[name]], name, count, call)
  }
  check_length(layer, "topsoil", count, call)
  option <- if (length(topsoil) == 1 && !is.na(topsoil)) {
    if (is.logical(topsoil)) c("no", "yes")[topsoil + 1] else as.character(topsoil)
  }
  if (is.null(layer) && is.null(option) && grepl("^(all|hypres)$", tolower(model[1]))) {
    stop(talvo_error(paste("hypres reads topsoil or subsoil: give a topsoil column",
                           "(1 or 0) or topsoil = TRUE or FALSE"), call))
  }
  options <- list(psd = psd, oc_unit = oc_unit, om = organic_matter, topsoil = option,
                  fc_head = if (is.numeric(fc_head)) format(fc_head) else fc_head,
                  precision = precision, decimal = decimal, count = count)
  options <- c(options, spread_options(sd, draws, seed, data, count, call))
  out <- engine(call, .Call(talvo_hydraulic_columns, model, unname(inputs), layer, options))
  hydraulics_frame(out, row_names(data, given, count), count)
}

# sd, draws and seed as the engine takes them: each input's spreads as a column (NULL where
# none) and the name its cells' errors give, checked as talvo-batch checks --sd.
spread_options <- function(sd, draws, seed, data, count, call) {
  if (is.null(sd)) {
    if (!is.null(draws) || !is.null(seed)) {
      stop(talvo_error("draws and seed go with sd", call))
    }
    return(list(sd = NULL))
  }
  inputs <- c("sand", "silt", "clay", "oc")
  if (!(is.list(sd) || is.atomic(sd)) || is.null(names(sd)) || any(names(sd) == "")) {
    stop(talvo_error(paste("sd must be a named list of standard deviations, such as",
                           "list(sand = 2, clay = 2)"), call))
  }
  unknown <- setdiff(names(sd), inputs)
  if (length(unknown) > 0) {
    stop(talvo_error(sprintf("sd: %s: give sand, silt, clay or oc", unknown[1]), call))
  }
  if (anyDuplicated(names(sd))) {
    stop(talvo_error(sprintf("sd gives %s twice", names(sd)[anyDuplicated(names(sd))]), call))
  }
  if (all(c("sand", "silt", "clay") %in% names(sd))) {
    stop(talvo_error(paste("sd gives sand, silt and clay: give at most two, as the third",
                           "takes up their difference so that every draw keeps their sum"), call))
  }
  spreads <- list(sand = NULL, silt = NULL, clay = NULL, oc = NULL)
  labels <- paste0(inputs, "_sd")
  for (name in names(sd)) {
    value <- sd[[name]]
    if (is.character(value) && length(value) == 1) {
      column <- if (is.null(data)) NULL else column_named(data, tolower(trimws(value)))
      if (is.null(column)) {
        stop(talvo_error(sprintf("sd: %s = \"%s\": data has no such column", name, value),
                         call))
      }
      labels[inputs == name] <- value
      value <- column
    } else if (is.numeric(value) && length(value) == 1 && !(is.finite(value) && value >= 0)) {
      stop(talvo_error(sprintf("sd: %s = %s: give a standard deviation of 0 or more", name,
                               format(value)), call))
    }
    value <- input_vector(value, paste0("sd ", name), call)
    check_length(value, paste0("sd ", name), count, call)
    spreads[name] <- list(value)
  }
  list(sd = spreads, sd_names = enc2utf8(labels),
       draws = whole_option(draws, "draws", 1000, 1000, 1e6, call),
       seed = whole_option(seed, "seed", 1, 0, 2^53, call))
}

# A whole number from `low` to `high`, `default` where NULL.
whole_option <- function(value, name, default, low, high, call) {
  if (is.null(value)) {
    return(default)
  }
  if (!is.numeric(value) || length(value) != 1 || !is.finite(value) || value != round(value) ||
      value < low || value > high) {
    stop(talvo_error(sprintf("%s: give a whole number from %s to %s", name,
                             format(low, scientific = FALSE), format(high, scientific = FALSE)),
                     call))
  }
  as.double(value)
}

# The first column named `name`, in any case, as talvo-batch finds bd and topsoil.
column_named <- function(data, name) {
  at <- which(tolower(trimws(names(data))) == name)
  if (length(at) == 0) NULL else data[[at[1]]]
}

# A topsoil column as texts, as a table's cells: TRUE as 1, NA as an empty cell.
topsoil_texts <- function(values) {
  if (is.null(values)) {
    return(NULL)
  }
  if (is.logical(values)) {
    values <- ifelse(values, "1", "0")
  }
  enc2utf8(as.character(values))
}

check_length <- function(values, name, count, call) {
  if (!is.null(values) && !length(values) %in% c(count, 1)) {
    stop(talvo_error(sprintf("%s has %d values, not %d or 1", name, length(values),
                             count), call))
  }
}

# The models' columns as one frame, each soil's rows together as talvo-batch writes them.
hydraulics_frame <- function(out, names, count) {
  models <- names(out)
  order <- as.vector(matrix(seq_len(count * length(models)), nrow = length(models),
                            byrow = TRUE))
  frame <- list(hydraulic_model = rep(models, each = count)[order])
  for (column in names(out[[1]])) {
    # The engine names each number's unit.
    units <- attr(out[[1]][[column]], "units")
    values <- unlist(lapply(out, `[[`, column), use.names = FALSE)[order]
    attr(values, "units") <- units
    frame[[column]] <- values
  }
  if (is.null(names) || length(names) != count) {
    names <- seq_len(count)
  }
  if (length(models) > 1) {
    names <- paste(rep(names, each = length(models)), models, sep = ".")
  } else if (is.integer(names)) {
    names <- .set_row_names(count)
  }
  structure(frame, class = "data.frame", row.names = names)
}
