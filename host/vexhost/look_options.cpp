// The checks of the look's options: the picture size and the colour texts the pins take.
#include "host/vexhost/look_options.h"

#include "host/kit/host_error.h"

#include <cctype>
#include <cmath>

namespace vex::host {

namespace {

bool parseIntegerList(const std::string& inside, std::size_t count) {
    std::size_t fields = 1;
    bool digit = false;
    for (std::size_t i = 0; i < inside.size(); ++i) {
        const char c = inside[i];
        if (c == ',') {
            if (!digit) {
                return false;
            }
            ++fields;
            digit = false;
        } else if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
            digit = true;
        } else if (c != ' ' && !(c == '-' && !digit)) {
            return false;
        }
    }
    return digit && fields == count;
}

bool isHexColour(const std::string& text) {
    if (text.size() < 3 || text.size() > 10 || text.compare(0, 2, "0x") != 0) {
        return false;
    }
    for (std::size_t i = 2; i < text.size(); ++i) {
        if (std::isxdigit(static_cast<unsigned char>(text[i])) == 0) {
            return false;
        }
    }
    return true;
}

bool isDecimalColour(const std::string& text) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    unsigned long long value = 0;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value != 0 && value <= 0xFFFFFFFFull;
}

bool hasForm(const std::string& text, const std::string& head, std::size_t numbers) {
    return text.size() > head.size() + 1 && text.compare(0, head.size(), head) == 0 &&
           text.back() == ')' &&
           parseIntegerList(text.substr(head.size(), text.size() - head.size() - 1), numbers);
}

constexpr std::int32_t kMinWidth = 80;
constexpr std::int32_t kMinHeight = 60;
constexpr std::int32_t kMaxSide = 4096;

// "WxH" within the sizes the display can be drawn at.
void parseSize(const std::string& text, std::int32_t& width, std::int32_t& height) {
    parseWidthHeight(text, "640x360", width, height);
    if (width < kMinWidth || height < kMinHeight) {
        throw HostError("--size: " + text + " is too small to draw (at least " +
                        std::to_string(kMinWidth) + "x" + std::to_string(kMinHeight) + ")");
    }
    if (width > kMaxSide || height > kMaxSide) {
        throw HostError("--size: " + text + " is too large (at most " + std::to_string(kMaxSide) +
                        "x" + std::to_string(kMaxSide) + ")");
    }
}

} // namespace

void parseWidthHeight(const std::string& text, const char* example, std::int32_t& width,
                      std::int32_t& height) {
    const std::size_t x = text.find('x');
    const auto number = [](const std::string& part, std::int32_t& out) {
        if (part.empty() || part.size() > 6 ||
            part.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        out = static_cast<std::int32_t>(std::stol(part));
        return true;
    };
    if (x == std::string::npos || !number(text.substr(0, x), width) ||
        !number(text.substr(x + 1), height)) {
        throw HostError("--size: '" + text + "' is not WIDTHxHEIGHT, for example " + example);
    }
}

std::string colourPinText(const std::string& text, const std::string& option) {
    if (text == "none") {
        return std::string();
    }
    if (hasForm(text, "RGB(", 3) || hasForm(text, "ARGB(", 4) || isHexColour(text) ||
        isDecimalColour(text)) {
        return text;
    }
    throw HostError(option + ": '" + text +
                    "' is not a colour; write RGB(r,g,b), ARGB(a,r,g,b), 0xAARRGGBB or none");
}

DisplayLook checkLook(const LookOptions& options, std::int32_t voices) {
    DisplayLook look = options.colours;
    parseSize(options.size, look.width, look.height);
    look.split = options.split;
    look.follow = options.follow;
    look.background = colourPinText(options.colours.background, "--background");
    look.trace1 = colourPinText(options.colours.trace1, "--trace1");
    look.trace2 = colourPinText(options.colours.trace2, "--trace2");
    look.label = colourPinText(options.colours.label, "--label");
    look.grid = colourPinText(options.colours.grid, "--grid");
    if (!std::isfinite(look.shade)) {
        throw HostError("--shade: not a number");
    }
    if (static_cast<std::int32_t>(options.gates.size()) > voices) {
        throw HostError("--voice-gates gives " + std::to_string(options.gates.size()) +
                        " gates for " + std::to_string(voices) + " voices");
    }
    look.gates = options.gates;
    return look;
}

} // namespace vex::host
