#' Root-zone water of soil profiles
#'
#' Each horizon's water and each profile's total and readily available water,
#' as `talvo-batch --profiles --summary` reckons them from the model's 15-digit
#' results.
#'
#' @param horizons A data frame (or tibble) of horizons, in any order, with the
#'   columns `profile` (or `id`), `top` and `bottom` (cm below the surface), the
#'   model's inputs (found as [talvo_estimate()] finds them), and optionally
#'   `bd` (bulk density of the fine earth, g/cm3; NA: 1.49 for a \% w/w model,
#'   flagged "bd") and `cf` (coarse fragments, \%; NA: none), and measured
#'   water where the lab gave it: `theta_fc` and `theta_pwp` (\% v/v) or `dul`
#'   and `ll15` (cm3/cm3), which replace the model's FC and PWP (flag
#'   "measured"). Column names in any case.
#' @param model The model, as [talvo_estimate()] takes it.
#' @param root_depth The root depth, cm: above 0 and at most 10000.
#' @param depletion p, the share of TAW a crop draws before stress: 0 to 1.
#' @param cf_by Coarse fragments by "volume" or by "weight".
#' @param psd,decimal As [talvo_estimate()] takes them.
#'
#' @return A list of two data frames:
#' \describe{
#'   \item{horizons}{the horizons with [talvo_estimate()]'s columns (in
#'     general precision) and theta_fc, theta_pwp (\% v/v of the whole soil,
#'     stones included) and aw_mm (mm of water between FC and PWP over the
#'     horizon)}
#'   \item{summary}{one row per profile, in the order profiles first appear:
#'     profile, depth_cm, taw_0_30, taw_0_100, taw_root, raw_root (mm, sums
#'     from the top down, unrounded), root_depth (cm) and flags (gap,
#'     overlap, depth, missing, porosity; "" for none)}
#' }
#' @examples
#' horizons <- data.frame(profile = c("P1", "P1", "P2"), top = c(0, 30, 0),
#'                        bottom = c(30, 80, 40), sand = c(60, 55, 40),
#'                        clay = c(15, 20, 30), bd = c(1.3, NA, 1.45))
#' talvo_profile(horizons, model = 0)$summary
#' @export
talvo_profile <- function(horizons, model, root_depth = 100, depletion = 0.5,
                          cf_by = "volume", psd = "international",
                          decimal = ".") {
  call <- sys.call()
  if (!is.data.frame(horizons)) {
    stop(talvo_error("horizons must be a data frame", call))
  }
  ids <- column_named(horizons, c("profile", "id"), call)
  if (is.null(ids)) {
    stop(talvo_error("horizons have no column profile (or id)", call))
  }
  cell <- function(name) {
    values <- column_named(horizons, name, call)
    if (is.null(values)) NULL else input_vector(values, name, call)
  }
  columns <- list(profile = ifelse(is.na(ids), "", as.character(ids)), top = cell("top"),
                  bottom = cell("bottom"), bd = cell("bd"), cf = cell("cf"),
                  theta_fc = cell("theta_fc"), theta_pwp = cell("theta_pwp"),
                  dul = cell("dul"), ll15 = cell("ll15"))
  estimated <- talvo_estimate(horizons, model = model, precision = "general",
                              psd = psd, decimal = decimal)
  sums <- engine(call, .Call(talvo_profile_water, model, columns, estimated, root_depth,
                 depletion, cf_by, decimal))
  water <- sums$horizons
  # A row without a profile is not estimated, as talvo-batch leaves it.
  for (name in c("fc", "pwp", "awc")) {
    estimated[[name]][water$malformed] <- NA
  }
  estimated$texture[water$malformed] <- NA
  estimated$flags <- water$flags
  estimated$error <- water$error
  horizon_water <- data.frame(theta_fc = structure(water$theta_fc, units = "% v/v"),
                              theta_pwp = structure(water$theta_pwp, units = "% v/v"),
                              aw_mm = structure(water$aw_mm, units = "mm"))
  profiles <- sums$profiles
  for (name in c("taw_0_30", "taw_0_100", "taw_root", "raw_root")) {
    attr(profiles[[name]], "units") <- "mm"
  }
  attr(profiles$depth_cm, "units") <- "cm"
  summary <- data.frame(profiles[1:6], root_depth = root_depth, flags = profiles$flags,
                        stringsAsFactors = FALSE)
  list(horizons = cbind(estimated, horizon_water), summary = summary)
}

# The column whose name is one of `names`, in any case and with blanks around it
# ignored, as talvo-batch finds them; NULL for none.
column_named <- function(data, names, call) {
  keys <- tolower(trimws(names(data), whitespace = "[ \t]"))
  for (name in names) {
    at <- which(keys == name)
    if (length(at) > 1) {
      stop(talvo_error(sprintf("the data has more than one column named %s", name), call))
    }
    if (length(at) == 1) {
      values <- data[[at]]
      return(if (is.factor(values)) as.character(values) else values)
    }
  }
  NULL
}
