// SPDX-License-Identifier: GPL-3.0-or-later
#include "SeriesReduction.h"

#include "Mathe.h"
#include "Quenmark.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace SeriesReduction {

namespace {

constexpr double EquatorialRadiusKm = 6378.137;
// Chi-square of two degrees of freedom that a straight track must not exceed
// by when the curved one is tried: 99.7 %.
constexpr double CurvatureChiSquare = 11.6;

using Matrix = std::vector<std::vector<double>>;

struct Fit {
    bool Done = false;
    std::vector<double> Solution;
    Matrix Covariance; // unscaled: from the stated sigma
    double ChiSquare = 0;
    int Freedom = 0;

    double Scale() const
    {
        return Freedom > 0 ? std::sqrt(std::max(1.0, ChiSquare / Freedom)) : 1.0;
    }
};

// Weighted linear least squares: each row already divided by its sigma.
// The normal equations are small (a few unknowns), Gauss-Jordan with pivots.
Fit LeastSquares(const Matrix& rows, const std::vector<double>& values)
{
    Fit fit;
    const std::size_t n = rows.empty() ? 0 : rows[0].size();
    if (rows.size() <= n || n == 0)
        return fit;
    Matrix normal(n, std::vector<double>(2 * n, 0.0));
    std::vector<double> right(n, 0.0);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t i = 0; i < n; ++i) {
            right[i] += rows[r][i] * values[r];
            for (std::size_t j = 0; j < n; ++j)
                normal[i][j] += rows[r][i] * rows[r][j];
        }
    double largest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        normal[i][n + i] = 1;
        largest = std::max(largest, std::fabs(normal[i][i]));
    }
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::fabs(normal[r][c]) > std::fabs(normal[pivot][c]))
                pivot = r;
        if (!(std::fabs(normal[pivot][c]) > 1e-14 * largest))
            return fit; // the unknowns cannot be told apart
        std::swap(normal[c], normal[pivot]);
        const double divisor = normal[c][c];
        for (double& value : normal[c])
            value /= divisor;
        for (std::size_t r = 0; r < n; ++r)
            if (r != c && normal[r][c] != 0) {
                const double factor = normal[r][c];
                for (std::size_t k = 0; k < 2 * n; ++k)
                    normal[r][k] -= factor * normal[c][k];
            }
    }
    fit.Covariance.assign(n, std::vector<double>(n));
    fit.Solution.assign(n, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            fit.Covariance[i][j] = normal[i][n + j];
            fit.Solution[i] += normal[i][n + j] * right[j];
        }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        double model = 0;
        for (std::size_t i = 0; i < n; ++i)
            model += rows[r][i] * fit.Solution[i];
        fit.ChiSquare += (model - values[r]) * (model - values[r]);
    }
    fit.Freedom = static_cast<int>(rows.size() - n);
    fit.Done = std::isfinite(fit.ChiSquare);
    return fit;
}

double Power(double base, int exponent)
{
    double value = 1;
    for (int i = 0; i < exponent; ++i)
        value *= base;
    return value;
}

// A position's residuals in x and y over its sigma, for the outlier test.
struct Residual {
    double X = 0, Y = 0;
    double Worst() const { return std::max(std::fabs(X), std::fabs(Y)); }
};

// The scatter of the residuals over their stated sigma, robustly (the median
// of their sizes, 0.6745 of sigma for a normal distribution), and never below
// 1: sigma stated too small must not make good positions look like outliers.
double ScatterScale(const std::vector<Residual>& residuals, const std::vector<bool>& active)
{
    std::vector<double> sizes;
    for (std::size_t i = 0; i < residuals.size(); ++i)
        if (active[i]) {
            sizes.push_back(std::fabs(residuals[i].X));
            sizes.push_back(std::fabs(residuals[i].Y));
        }
    if (sizes.empty())
        return 1;
    const auto middle = sizes.begin() + static_cast<long>(sizes.size() / 2);
    std::nth_element(sizes.begin(), middle, sizes.end());
    return std::max(1.0, *middle / 0.6745);
}

// Fits again without the worst position while it lies beyond OutlierLimit
// (times the scatter's scale): one at a time, since an outlier pulls the fit
// and makes good neighbours look bad too. At most a quarter of the positions
// and at most MostDropped, so that the work stays bounded by a count whatever
// a file holds. fitActive fits the active positions and returns their
// residuals over sigma (one per observation; inactive ones ignored).
template <typename FitActive>
Fit FitDroppingOutliers(std::vector<bool>& active, std::vector<int>& dropped, FitActive fitActive)
{
    constexpr long MostDropped = 50;
    const auto total = std::count(active.begin(), active.end(), true);
    const long most = std::min<long>(MostDropped, total / 4) + static_cast<long>(dropped.size());
    for (;;) {
        std::vector<Residual> residuals;
        Fit fit = fitActive(residuals);
        if (!fit.Done || static_cast<long>(dropped.size()) >= most)
            return fit;
        std::size_t worst = active.size();
        for (std::size_t i = 0; i < active.size(); ++i)
            if (active[i]
                && (worst == active.size() || residuals[i].Worst() > residuals[worst].Worst()))
                worst = i;
        if (worst == active.size()
            || residuals[worst].Worst() <= OutlierLimit * ScatterScale(residuals, active))
            return fit;
        active[worst] = false;
        dropped.push_back(static_cast<int>(worst));
    }
}

// Hours from the middle of the observations: the polynomials' variable.
double MiddleSeconds(const std::vector<Observation>& observations)
{
    double first = std::numeric_limits<double>::infinity(), last = -first;
    for (const Observation& o : observations) {
        first = std::min(first, o.Seconds);
        last = std::max(last, o.Seconds);
    }
    return (first + last) / 2;
}

// One site's track: x and y each a polynomial of the degree in hours from
// middle; coefficients x0..xd, y0..yd.
struct Track {
    int Degree = 1;
    double Middle = 0;
    Fit Both; // the x and y coefficients together, block diagonal
    std::vector<int> Dropped;
    int Used = 0;

    double X(double seconds, const std::vector<double>& c) const { return Value(seconds, c, 0); }
    double Y(double seconds, const std::vector<double>& c) const
    {
        return Value(seconds, c, static_cast<std::size_t>(Degree + 1));
    }
    double Value(double seconds, const std::vector<double>& c, std::size_t from) const
    {
        const double hours = (seconds - Middle) / 3600;
        double value = 0;
        for (int k = Degree; k >= 0; --k)
            value = value * hours + c[from + static_cast<std::size_t>(k)];
        return value;
    }
};

Track FitTrack(const std::vector<Observation>& observations, int site, int degree, double middle,
    std::vector<bool>& active)
{
    Track track;
    track.Degree = degree;
    track.Middle = middle;
    const std::size_t terms = static_cast<std::size_t>(degree + 1);
    track.Both = FitDroppingOutliers(active, track.Dropped, [&](std::vector<Residual>& residuals) {
        Matrix rows;
        std::vector<double> values;
        for (std::size_t i = 0; i < observations.size(); ++i) {
            const Observation& o = observations[i];
            if (!active[i] || o.Site != site)
                continue;
            const double hours = (o.Seconds - middle) / 3600;
            std::vector<double> rowX(2 * terms, 0.0), rowY(2 * terms, 0.0);
            for (std::size_t k = 0; k < terms; ++k) {
                rowX[k] = Power(hours, static_cast<int>(k)) / o.SigmaX;
                rowY[terms + k] = Power(hours, static_cast<int>(k)) / o.SigmaY;
            }
            rows.push_back(rowX);
            values.push_back(o.X / o.SigmaX);
            rows.push_back(rowY);
            values.push_back(o.Y / o.SigmaY);
        }
        Fit fit = LeastSquares(rows, values);
        residuals.assign(observations.size(), {});
        if (fit.Done)
            for (std::size_t i = 0; i < observations.size(); ++i) {
                const Observation& o = observations[i];
                if (o.Site == site)
                    residuals[i] = { (o.X - track.X(o.Seconds, fit.Solution)) / o.SigmaX,
                        (o.Y - track.Y(o.Seconds, fit.Solution)) / o.SigmaY };
            }
        return fit;
    });
    for (std::size_t i = 0; i < observations.size(); ++i)
        if (active[i] && observations[i].Site == site)
            ++track.Used;
    return track;
}

// Straight unless the curved track is better by more than chance allows;
// outliers are judged against the curved track, so that a curved series does
// not lose its ends.
Track ChooseTrack(const std::vector<Observation>& observations, int site, std::vector<bool>& active)
{
    const double middle = MiddleSeconds(observations);
    std::vector<bool> curvedActive = active;
    Track curved = FitTrack(observations, site, 2, middle, curvedActive);
    if (!curved.Both.Done) {
        return FitTrack(observations, site, 1, middle, active);
    }
    std::vector<bool> straightActive = curvedActive;
    Track straight = FitTrack(observations, site, 1, middle, straightActive);
    active = curvedActive;
    const double scale = curved.Both.Scale();
    if (straight.Both.Done && straight.Dropped.empty()
        && (straight.Both.ChiSquare - curved.Both.ChiSquare) / (scale * scale)
            < CurvatureChiSquare) {
        straight.Dropped = curved.Dropped;
        return straight;
    }
    return curved;
}

} // namespace

double AstronomicalUnitKm(double parallax)
{
    return EquatorialRadiusKm / std::sin(parallax / 3600 * Mathe::RadiansPerDegree);
}

Result ReduceRigorously(const Setup& setup, const std::vector<Observation>& observations)
{
    constexpr int Degree = 1;
    constexpr std::size_t Terms = Degree + 1;
    const double middle = MiddleSeconds(observations);
    std::vector<TransitModel::Prediction> predictions;
    predictions.reserve(observations.size());
    for (const Observation& o : observations)
        predictions.push_back(TransitModel::Predict(
            setup.Date, o.Seconds, setup.Planet, setup.Sites[o.Site == 0 ? 0 : 1]));

    // Unknowns: the factor on the model's parallax, then the corrections of x'
    // and of y'.
    auto model = [&](std::size_t i, const std::vector<double>& p) {
        const TransitModel::Prediction& m = predictions[i];
        const double hours = (observations[i].Seconds - middle) / 3600;
        Residual value { m.Geocentric.X + p[0] * (m.Topocentric.X - m.Geocentric.X),
            m.Geocentric.Y + p[0] * (m.Topocentric.Y - m.Geocentric.Y) };
        for (std::size_t k = 0; k < Terms; ++k) {
            value.X += p[1 + k] * Power(hours, static_cast<int>(k));
            value.Y += p[1 + Terms + k] * Power(hours, static_cast<int>(k));
        }
        return value;
    };
    std::vector<bool> active(observations.size(), true);
    Result result;
    const Fit fit
        = FitDroppingOutliers(active, result.Dropped, [&](std::vector<Residual>& residuals) {
              Matrix rows;
              std::vector<double> values;
              for (std::size_t i = 0; i < observations.size(); ++i) {
                  if (!active[i])
                      continue;
                  const Observation& o = observations[i];
                  const TransitModel::Prediction& m = predictions[i];
                  const double hours = (o.Seconds - middle) / 3600;
                  std::vector<double> rowX(1 + 2 * Terms, 0.0), rowY(1 + 2 * Terms, 0.0);
                  rowX[0] = (m.Topocentric.X - m.Geocentric.X) / o.SigmaX;
                  rowY[0] = (m.Topocentric.Y - m.Geocentric.Y) / o.SigmaY;
                  for (std::size_t k = 0; k < Terms; ++k) {
                      rowX[1 + k] = Power(hours, static_cast<int>(k)) / o.SigmaX;
                      rowY[1 + Terms + k] = Power(hours, static_cast<int>(k)) / o.SigmaY;
                  }
                  rows.push_back(rowX);
                  values.push_back((o.X - m.Geocentric.X) / o.SigmaX);
                  rows.push_back(rowY);
                  values.push_back((o.Y - m.Geocentric.Y) / o.SigmaY);
              }
              Fit f = LeastSquares(rows, values);
              residuals.assign(observations.size(), {});
              if (f.Done)
                  for (std::size_t i = 0; i < observations.size(); ++i) {
                      const Residual m = model(i, f.Solution);
                      residuals[i] = { (observations[i].X - m.X) / observations[i].SigmaX,
                          (observations[i].Y - m.Y) / observations[i].SigmaY };
                  }
              return f;
          });
    result.Used = static_cast<int>(std::count(active.begin(), active.end(), true));
    if (!fit.Done)
        return result;
    const double nominal = TransitModel::NominalParallax();
    result.Done = true;
    result.Parallax = fit.Solution[0] * nominal;
    result.Sigma = std::sqrt(fit.Covariance[0][0]) * nominal * fit.Scale();
    result.ReducedChiSquare = fit.Freedom > 0 ? fit.ChiSquare / fit.Freedom : 0;
    return result;
}

Moment ApplyFormula(const Setup& setup, double seconds, double x1, double y1, double x2, double y2)
{
    const Ephemeris::SunData sun = Ephemeris::Compute(setup.Date, seconds / 3600, setup.Planet);
    Quenmark::Inputs in;
    in.RightAscension = sun.RightAscension;
    in.Declination = sun.Declination;
    in.SunRadius = sun.Radius;
    in.SiderealTime0 = sun.SiderealTime0;
    in.RadiusRatio = sun.RadiusRatio;
    in.Latitude1 = setup.Sites[0].Latitude;
    in.Longitude1 = setup.Sites[0].Longitude;
    in.Latitude2 = setup.Sites[1].Latitude;
    in.Longitude2 = setup.Sites[1].Longitude;
    in.Time = seconds / 3600 * 15 * Mathe::RadiansPerDegree;
    in.X1 = x1;
    in.Y1 = y1;
    in.X2 = x2;
    in.Y2 = y2;
    const Quenmark::Results r = Quenmark::ComputeFor(in);
    return { seconds, x1, y1, x2, y2, r.Beta, r.PiS };
}

TransitModel::Place TrackPlace(const FormulaResult& result, int site, double seconds)
{
    Track track;
    track.Degree = result.Degree[site];
    track.Middle = result.Middle;
    const std::vector<double>& c = result.Coefficients[site];
    if (c.size() != 2 * static_cast<std::size_t>(track.Degree + 1))
        return { NAN, NAN };
    return { track.X(seconds, c), track.Y(seconds, c) };
}

FormulaResult ReduceByFormula(const Setup& setup, const std::vector<Observation>& observations)
{
    FormulaResult out;
    std::vector<bool> active(observations.size(), true);
    Track tracks[2];
    double first[2], last[2];
    for (int site = 0; site < 2; ++site) {
        tracks[site] = ChooseTrack(observations, site, active);
        out.Degree[site] = tracks[site].Degree;
        first[site] = std::numeric_limits<double>::infinity();
        last[site] = -first[site];
        for (const Observation& o : observations)
            if (o.Site == site) {
                first[site] = std::min(first[site], o.Seconds);
                last[site] = std::max(last[site], o.Seconds);
            }
    }
    for (std::size_t i = 0; i < observations.size(); ++i)
        if (!active[i])
            out.Summary.Dropped.push_back(static_cast<int>(i));
    out.Summary.Used = tracks[0].Used + tracks[1].Used;
    out.Middle = tracks[0].Middle;
    for (int site = 0; site < 2; ++site)
        out.Coefficients[site] = tracks[site].Both.Solution;
    const double from = std::max(first[0], first[1]), to = std::min(last[0], last[1]);
    out.Overlap = from <= to;
    if (!out.Overlap || !tracks[0].Both.Done || !tracks[1].Both.Done)
        return out;

    // All coefficients of both tracks in one vector, their covariance block
    // diagonal and scaled by each track's reduced chi-square.
    std::vector<double> p = tracks[0].Both.Solution;
    const std::size_t split = p.size();
    p.insert(p.end(), tracks[1].Both.Solution.begin(), tracks[1].Both.Solution.end());
    Matrix covariance(p.size(), std::vector<double>(p.size(), 0.0));
    for (int site = 0; site < 2; ++site) {
        const Fit& fit = tracks[site].Both;
        const double scale2 = fit.Scale() * fit.Scale();
        const std::size_t offset = site == 0 ? 0 : split;
        for (std::size_t i = 0; i < fit.Solution.size(); ++i)
            for (std::size_t j = 0; j < fit.Solution.size(); ++j)
                covariance[offset + i][offset + j] = fit.Covariance[i][j] * scale2;
    }
    const int count = to - from >= 60 ? MomentCount : 1;
    std::vector<double> moments;
    for (int j = 0; j < count; ++j)
        moments.push_back(count == 1 ? (from + to) / 2 : from + (to - from) * j / (count - 1));

    auto evaluate = [&](const std::vector<double>& q, std::vector<Moment>* each) {
        const std::vector<double> c1(q.begin(), q.begin() + static_cast<long>(split));
        const std::vector<double> c2(q.begin() + static_cast<long>(split), q.end());
        double sum = 0;
        for (const double t : moments) {
            const Moment m = ApplyFormula(setup, t, tracks[0].X(t, c1), tracks[0].Y(t, c1),
                tracks[1].X(t, c2), tracks[1].Y(t, c2));
            sum += m.Parallax;
            if (each)
                each->push_back(m);
        }
        return sum / static_cast<double>(moments.size());
    };
    const double mean = evaluate(p, &out.Moments);
    // The mean's gradient by central differences: the moments share the two
    // tracks, so their errors are correlated and go through the covariance.
    std::vector<double> gradient(p.size(), 0.0);
    for (std::size_t i = 0; i < p.size(); ++i) {
        const double step = std::sqrt(covariance[i][i]) * 1e-2;
        if (!(step > 0))
            continue;
        std::vector<double> up = p, down = p;
        up[i] += step;
        down[i] -= step;
        gradient[i] = (evaluate(up, nullptr) - evaluate(down, nullptr)) / (2 * step);
    }
    double variance = 0;
    for (std::size_t i = 0; i < p.size(); ++i)
        for (std::size_t j = 0; j < p.size(); ++j)
            variance += gradient[i] * covariance[i][j] * gradient[j];
    out.Summary.Done = std::isfinite(mean) && std::isfinite(variance);
    out.Summary.Parallax = mean;
    out.Summary.Sigma = std::sqrt(variance);
    const int freedom = tracks[0].Both.Freedom + tracks[1].Both.Freedom;
    out.Summary.ReducedChiSquare
        = freedom > 0 ? (tracks[0].Both.ChiSquare + tracks[1].Both.ChiSquare) / freedom : 0;
    return out;
}

} // namespace SeriesReduction
