// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParallaxPlot.h"

#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ParallaxPlot {

namespace {

constexpr double Width = 800, Left = 70, Right = 780;
constexpr double TrackTop = 60, TrackBottom = 400, ResidualTop = 460, ResidualBottom = 680;
constexpr const char* Colours[2] = { "#1f5fbf", "#c0392b" };

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Clock(double seconds)
{
    const long whole = std::lround(seconds);
    char text[40];
    std::snprintf(text, sizeof text, "%02ld:%02ld", whole / 3600, whole / 60 % 60);
    return text;
}

struct Range {
    double Low = INFINITY, High = -INFINITY;
    void Take(double v)
    {
        if (std::isfinite(v)) {
            Low = std::min(Low, v);
            High = std::max(High, v);
        }
    }
    void Widen(double part)
    {
        if (!(High > Low)) {
            Low = std::isfinite(Low) ? Low - 1 : -1;
            High = std::isfinite(High) ? High + 1 : 1;
        }
        const double margin = (High - Low) * part;
        Low -= margin;
        High += margin;
    }
    double Map(double v, double from, double to) const
    {
        return from + (v - Low) / (High - Low) * (to - from);
    }
};

std::string Text(double x, double y, const std::string& text, const char* anchor = "start")
{
    return "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" text-anchor=\"" + anchor
        + "\" font-family=\"sans-serif\" font-size=\"12\">" + Escaped(text) + "</text>\n";
}

std::string Line(double x1, double y1, double x2, double y2, const char* colour, double width = 1)
{
    return "<line x1=\"" + Number(x1) + "\" y1=\"" + Number(y1) + "\" x2=\"" + Number(x2)
        + "\" y2=\"" + Number(y2) + "\" stroke=\"" + colour + "\" stroke-width=\"" + Number(width)
        + "\"/>\n";
}

} // namespace

std::string Svg(const std::vector<SeriesReduction::Observation>& observations,
    const SeriesReduction::FormulaResult& tracks, const Labels& labels)
{
    // Along the track: site 1's fitted track from its first moment to its last,
    // so that the tracks lie level and the stretch across them can be large.
    double ux = 1, uy = 0;
    double first = INFINITY, last = -INFINITY;
    for (const auto& o : observations)
        if (o.Site == 0) {
            first = std::min(first, o.Seconds);
            last = std::max(last, o.Seconds);
        }
    if (last > first) {
        const TransitModel::Place p = SeriesReduction::TrackPlace(tracks, 0, first);
        const TransitModel::Place q = SeriesReduction::TrackPlace(tracks, 0, last);
        const double dx = q.X - p.X, dy = q.Y - p.Y, length = std::hypot(dx, dy);
        if (length > 0) {
            ux = dx / length;
            uy = dy / length;
        }
    }
    const auto along = [&](double x, double y) { return x * ux + y * uy; };
    const auto across = [&](double x, double y) { return -x * uy + y * ux; };
    const auto acrossSigma = [&](const SeriesReduction::Observation& o) {
        return std::hypot(o.SigmaX * uy, o.SigmaY * ux);
    };

    Range a, c, t, r;
    for (const auto& o : observations) {
        a.Take(along(o.X, o.Y));
        c.Take(across(o.X, o.Y) - acrossSigma(o));
        c.Take(across(o.X, o.Y) + acrossSigma(o));
        t.Take(o.Seconds);
    }
    a.Widen(0.05);
    c.Widen(0.1);
    t.Widen(0.03);
    const double stretch
        = ((TrackBottom - TrackTop) / (c.High - c.Low)) / ((Right - Left) / (a.High - a.Low));
    std::vector<double> residuals;
    for (const auto& o : observations) {
        const TransitModel::Place p = SeriesReduction::TrackPlace(tracks, o.Site, o.Seconds);
        residuals.push_back((across(o.X, o.Y) - across(p.X, p.Y)) / acrossSigma(o));
        r.Take(residuals.back());
    }
    r.Take(-4.5);
    r.Take(4.5);
    r.Widen(0.05);

    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + std::string(Marker) + "\n"
        + "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"800\" height=\"720\" viewBox=\"0 0 "
          "800 720\">\n"
        + "<rect x=\"0\" y=\"0\" width=\"800\" height=\"720\" fill=\"white\"/>\n"
        + Text(Width / 2, 24, labels.Title, "middle");
    std::string acrossLabel = labels.AcrossTrack;
    const std::size_t mark = acrossLabel.find("%1");
    if (mark != std::string::npos)
        acrossLabel.replace(mark, 2, std::to_string(std::lround(stretch)));
    svg += Text(Width / 2, 44, acrossLabel, "middle");
    for (const double top : { TrackTop, ResidualTop }) {
        const double bottom = top == TrackTop ? TrackBottom : ResidualBottom;
        svg += "<rect x=\"" + Number(Left) + "\" y=\"" + Number(top) + "\" width=\""
            + Number(Right - Left) + "\" height=\"" + Number(bottom - top)
            + "\" fill=\"none\" stroke=\"black\"/>\n";
    }
    svg += Text(Left, TrackBottom + 16, Number(a.Low))
        + Text(Right, TrackBottom + 16, Number(a.High), "end");
    svg += Text(Width / 2, ResidualTop - 14, labels.Residuals, "middle");
    svg += Text(Left, ResidualBottom + 16, Clock(t.Low))
        + Text(Right, ResidualBottom + 16, Clock(t.High), "end");
    for (const double level : { -4.0, 0.0, 4.0 }) {
        const double y = r.Map(level, ResidualBottom, ResidualTop);
        svg += Line(Left, y, Right, y, level == 0 ? "#808080" : "#d0d0d0");
        svg += Text(Left - 6, y + 4, Number(level), "end");
    }

    // The tracks over each site's time, then the positions over them.
    for (int site = 0; site < 2; ++site) {
        Range span;
        for (const auto& o : observations)
            if (o.Site == site)
                span.Take(o.Seconds);
        if (!(span.High >= span.Low))
            continue;
        std::string points;
        for (int k = 0; k <= 60; ++k) {
            const double seconds = span.Low + (span.High - span.Low) * k / 60;
            const TransitModel::Place p = SeriesReduction::TrackPlace(tracks, site, seconds);
            if (!std::isfinite(p.X))
                break;
            points += Number(a.Map(along(p.X, p.Y), Left, Right)) + ","
                + Number(c.Map(across(p.X, p.Y), TrackBottom, TrackTop)) + " ";
        }
        if (!points.empty())
            svg += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + Colours[site]
                + "\"/>\n";
    }
    for (std::size_t i = 0; i < observations.size(); ++i) {
        const auto& o = observations[i];
        const char* colour = Colours[o.Site == 0 ? 0 : 1];
        const double x = a.Map(along(o.X, o.Y), Left, Right);
        const double y = c.Map(across(o.X, o.Y), TrackBottom, TrackTop);
        const double bar = acrossSigma(o) / (c.High - c.Low) * (TrackBottom - TrackTop);
        svg += Line(x, y - bar, x, y + bar, colour);
        svg += "<circle cx=\"" + Number(x) + "\" cy=\"" + Number(y) + "\" r=\"2.5\" fill=\""
            + colour + "\"/>\n";
        if (std::isfinite(residuals[i]))
            svg += "<circle cx=\"" + Number(t.Map(o.Seconds, Left, Right)) + "\" cy=\""
                + Number(
                    r.Map(std::clamp(residuals[i], r.Low, r.High), ResidualBottom, ResidualTop))
                + "\" r=\"2.5\" fill=\"" + colour + "\"/>\n";
    }
    svg += Text(Left + 140, TrackBottom + 16, labels.Site1)
        + Text(Left + 400, TrackBottom + 16, labels.Site2);
    svg += "<rect x=\"" + Number(Left + 130) + "\" y=\"" + Number(TrackBottom + 7)
        + "\" width=\"6\" height=\"6\" fill=\"" + Colours[0] + "\"/>\n";
    svg += "<rect x=\"" + Number(Left + 390) + "\" y=\"" + Number(TrackBottom + 7)
        + "\" width=\"6\" height=\"6\" fill=\"" + Colours[1] + "\"/>\n";
    return svg + "</svg>\n";
}

std::string NameBeside(const std::string& series1)
{
    const std::size_t slash = series1.rfind('/');
    const std::size_t dot = series1.rfind('.');
    const bool extension
        = dot != std::string::npos && dot > (slash == std::string::npos ? 0 : slash + 1);
    return series1.substr(0, extension ? dot : std::string::npos) + ".parallax.svg";
}

Writing Write(const std::string& name, const std::string& text, std::string& reason)
{
    struct stat status { };
    if (::lstat(name.c_str(), &status) == 0) {
        int error = 0;
        std::int64_t bytes = 0;
        const int fd = S_ISREG(status.st_mode) ? Files::OpenRegularFile(name, error, bytes) : -1;
        std::string start(256, '\0');
        const ssize_t got = fd >= 0 ? ::read(fd, start.data(), start.size()) : -1;
        if (fd >= 0)
            ::close(fd);
        if (got < 0
            || start.substr(0, static_cast<std::size_t>(got)).find(Marker) == std::string::npos)
            return Writing::Foreign;
    }
    const std::string temporary = name + ".part-" + std::to_string(::getpid());
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        int error = fd < 0 ? errno : Files::WriteAll(fd, text.data(), text.size());
        if (fd >= 0 && error == 0 && ::fsync(fd) != 0)
            error = errno;
        if (fd >= 0 && ::close(fd) != 0 && error == 0)
            error = errno;
        if (error == 0 && ::rename(temporary.c_str(), name.c_str()) != 0)
            error = errno;
        if (error == 0)
            return Writing::Written;
        if (fd >= 0)
            ::unlink(temporary.c_str());
        reason = std::strerror(error);
    }
    return Writing::Failed;
}

} // namespace ParallaxPlot
