# Soils per second of talvo_estimate, model 0, against the same equations written in plain
# vectorised R.
#
# Two R peers. "Same answers" does the call's whole job: FC and PWP rounded to 15 significant
# digits as the calculator takes them, AWC from those, two decimals rounded half away from zero
# on that 15-digit value, the flags talvo sets for these inputs (range, fc<=pwp, result) as
# text, NA and the error text where a content is missing, and the unit and texture columns (no
# class without silt); the run counts the soils where it still differs from talvo. "Bare"
# writes the equations and round(x, 2): halves to even, no flags, no errors, so a third of the
# job and not the calculator's numbers.
#
# Usage: Rscript against_r.R [SOILS] [ROUNDS]   (default 1 million, 7 rounds)

library(talvo)

# A % w/w result counts by volume at the bulk density AWC assumes.
bulk_density <- 1.49
most_by_volume <- 60

fifteen_digits <- function(x) {
  magnitude <- floor(log10(abs(ifelse(x == 0, 1, x))))
  scale <- 10^(14 - magnitude)
  round(x * scale) / scale
}

# Half away from zero on the decimal value: x * 100 carries binary noise far below 1e-11 for
# |x| < 1000, which rounding to 11 decimals removes before the halves are judged.
hundredths <- function(x) sign(x) * floor(round(abs(x) * 100, 11) + 0.5) / 100

with_flag <- function(flags, set, code) {
  ifelse(set, ifelse(flags == "", code, paste0(flags, ";", code)), flags)
}

same_answers <- function(sand, clay) {
  fc <- fifteen_digits((29.79202 - 0.26349 * sand) + 0.20657 * clay)
  pwp <- fifteen_digits(((5.04007 - 0.03849 * sand) + 0.23203 * clay) - (0.00057 * sand) * clay)
  awc <- fifteen_digits(((fc - pwp) / 100) * 1.49 * 150)
  flags <- ifelse(sand < 0 | sand > 100 | clay < 0 | clay > 100, "range", "")
  flags <- with_flag(flags, fc <= pwp, "fc<=pwp")
  flags <- with_flag(flags, fc < 0 | pwp < 0 | fc * bulk_density > most_by_volume |
                       pwp * bulk_density > most_by_volume, "result")
  error <- ifelse(is.na(sand), "Missing: sand", ifelse(is.na(clay), "Missing: clay", NA))
  flags[!is.na(error)] <- ""
  data.frame(fc = hundredths(fc), pwp = hundredths(pwp), awc = hundredths(awc),
             unit = "% w/w", texture = factor(rep(NA, length(sand))), flags = flags,
             error = error)
}

bare <- function(sand, clay) {
  fc <- (29.79202 - 0.26349 * sand) + 0.20657 * clay
  pwp <- ((5.04007 - 0.03849 * sand) + 0.23203 * clay) - (0.00057 * sand) * clay
  awc <- ((fc - pwp) / 100) * 1.49 * 150
  data.frame(fc = round(fc, 2), pwp = round(pwp, 2), awc = round(awc, 2))
}

# Contents as laboratories report them, up to two decimals; a few missing.
soils <- function(count) {
  set.seed(2026)
  sand <- round(stats::runif(count, 0, 100), 2)
  clay <- round(stats::runif(count) * (100 - sand), 2)
  sand[stats::runif(count) < 0.001] <- NA
  list(sand = sand, clay = clay)
}

# Soils where a peer's column is not talvo's; NA equals NA.
differences <- function(ours, theirs) {
  vapply(names(theirs), function(name) {
    a <- as.vector(ours[[name]])
    b <- as.vector(theirs[[name]])
    sum(!((is.na(a) & is.na(b)) | (!is.na(a) & !is.na(b) & a == b)))
  }, numeric(1))
}

args <- as.numeric(commandArgs(trailingOnly = TRUE))
count <- if (length(args) >= 1) args[1] else 1e6
rounds <- if (length(args) >= 2) args[2] else 7
given <- soils(count)
calls <- list(
  "R, same answers" = function() same_answers(given$sand, given$clay),
  "R, bare equations" = function() bare(given$sand, given$clay),
  "talvo_estimate" = function() talvo_estimate(model = 0, sand = given$sand, clay = given$clay)
)
# Interleaved rounds, so that a slower phase of a shared machine hits every contender; one
# round first, untimed.
for (call in calls) invisible(call())
times <- matrix(NA_real_, rounds, length(calls), dimnames = list(NULL, names(calls)))
for (round in seq_len(rounds)) {
  for (name in names(calls)) {
    gc(FALSE)
    times[round, name] <- system.time(calls[[name]]())[["elapsed"]]
  }
}
cat(sprintf("%s soils, model 0, %d interleaved rounds\n", format(count, big.mark = ",", scientific = FALSE), rounds))
for (name in names(calls)) {
  t <- times[, name]
  cat(sprintf("%s: median %.3f s [%.3f-%.3f] = %.1f M soils/s\n", name, stats::median(t),
              min(t), max(t), count / stats::median(t) / 1e6))
}
for (peer in names(calls)[1:2]) {
  ratio <- sort(times[, peer] / times[, "talvo_estimate"])
  cat(sprintf("talvo_estimate against %s, round by round: %.1fx [%.1f-%.1f]\n", peer,
              stats::median(ratio), ratio[1], ratio[length(ratio)]))
}
ours <- calls$talvo_estimate()
for (peer in names(calls)[1:2]) {
  cat(sprintf("%s, soils that differ from talvo's: %s\n", peer,
              paste(names(differences(ours, calls[[peer]]())),
                    differences(ours, calls[[peer]]()), sep = " ", collapse = ", ")))
}
