// The entry points R calls, registered so that none is looked up by name.

#include <R.h>
#include <R_ext/Rdynload.h>
#include <Rinternals.h>
#include <array>

extern "C" {
SEXP talvo_model_sheets();
SEXP talvo_estimate_columns(SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP talvo_find_columns(SEXP);
SEXP talvo_read_texts(SEXP, SEXP);
SEXP talvo_model_position(SEXP);
SEXP talvo_texture_names();
SEXP talvo_evaluate_columns(SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP talvo_profile_water(SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP talvo_hydraulic_columns(SEXP, SEXP, SEXP, SEXP);

// NOLINTBEGIN(cppcoreguidelines-pro-type-reinterpret-cast): R's registration takes DL_FUNC
void R_init_talvo(DllInfo* info) {
    static const std::array<R_CallMethodDef, 10> entries{{
        {"talvo_model_sheets", reinterpret_cast<DL_FUNC>(&talvo_model_sheets), 0},
        {"talvo_estimate_columns", reinterpret_cast<DL_FUNC>(&talvo_estimate_columns), 8},
        {"talvo_find_columns", reinterpret_cast<DL_FUNC>(&talvo_find_columns), 1},
        {"talvo_read_texts", reinterpret_cast<DL_FUNC>(&talvo_read_texts), 2},
        {"talvo_model_position", reinterpret_cast<DL_FUNC>(&talvo_model_position), 1},
        {"talvo_texture_names", reinterpret_cast<DL_FUNC>(&talvo_texture_names), 0},
        {"talvo_evaluate_columns", reinterpret_cast<DL_FUNC>(&talvo_evaluate_columns), 7},
        {"talvo_profile_water", reinterpret_cast<DL_FUNC>(&talvo_profile_water), 7},
        {"talvo_hydraulic_columns", reinterpret_cast<DL_FUNC>(&talvo_hydraulic_columns), 4},
        {nullptr, nullptr, 0},
    }};
    R_registerRoutines(info, nullptr, entries.data(), nullptr, nullptr);
    R_useDynamicSymbols(info, FALSE);
    R_forceSymbols(info, TRUE);
}
// NOLINTEND(cppcoreguidelines-pro-type-reinterpret-cast)
}
