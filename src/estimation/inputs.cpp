#include "estimation/estimation.h"

namespace talvo::estimation {

std::string_view name(Input input) {
    switch (input) {
    case Input::sand:
        return "sand";
    case Input::silt:
        return "silt";
    case Input::clay:
        return "clay";
    case Input::oc:
        return "oc";
    }
    return "";
}

std::string_view name(Result result) {
    switch (result) {
    case Result::fc:
        return "fc";
    case Result::pwp:
        return "pwp";
    case Result::awc:
        return "awc";
    }
    return "";
}

std::string readNames(const PtfModel& model) {
    std::string reads;
    for (const Input input : allInputs) {
        if (model.readInputs.contains(input)) {
            reads += reads.empty() ? "" : ", ";
            reads += name(input);
        }
    }
    return reads;
}

} // namespace talvo::estimation
