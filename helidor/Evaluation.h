// SPDX-License-Identifier: GPL-3.0-or-later
// The position of the planet on the solar disc from the confirmed circles:
// rho' (distance from the Sun's centre in solar radii), the position angle
// from the reference direction (the rotation angle of a once-exposed picture,
// the direction of the Sun's shift on a twice-exposed one) and x', y'. Shown
// on the results page and appended to the result file(s).
#pragma once

#include <string>
#include <vector>

namespace Evaluation {

// The results of the measurement in Adjustment::Circles: the lines go to the
// result file(s) first, then the results page replaces the picture.
void EvaluatePositions();

// What EvaluatePositions shows and writes, for tests and the page itself.
struct Results {
    std::vector<std::string> PageLines; // line 1, 2, ... below the result label
    std::string ResultFileText; // appended to the result file, line ends included
    std::string SecondResultFileText; // two pictures only
    // The audit file(s): every circle, then the result, full precision and
    // uncertainties; measurements numbered by the evaluations of the run.
    std::string AuditFileText;
    std::string SecondAuditFileText; // two pictures only
};
Results ComputeResults();

// Counts the evaluations from 1 again. For tests.
void Reset();

// "hh:mm:ss" of the time of day timeUT (hh.mm) plus seconds, wrapping at
// midnight; exactly the digits of hh.mm where they form a clock time.
std::string ClockTime(double timeUT, long long seconds);

} // namespace Evaluation
