#include "platform/Colors.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

namespace platform {

namespace {

struct SystemColor
{
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The Windows system colour indices (COLOR_SCROLLBAR = 0 … COLOR_MENUBAR = 30) mapped
// onto the nearest palette roles.
const SystemColor kSystemColors[] = {
    {QPalette::Active, QPalette::Button},          // 0 scroll bar
    {QPalette::Active, QPalette::Window},          // 1 desktop
    {QPalette::Active, QPalette::Highlight},       // 2 active caption
    {QPalette::Inactive, QPalette::Window},        // 3 inactive caption
    {QPalette::Active, QPalette::Window},          // 4 menu
    {QPalette::Active, QPalette::Base},            // 5 window
    {QPalette::Active, QPalette::Shadow},          // 6 window frame
    {QPalette::Active, QPalette::WindowText},      // 7 menu text
    {QPalette::Active, QPalette::Text},            // 8 window text
    {QPalette::Active, QPalette::HighlightedText}, // 9 caption text
    {QPalette::Active, QPalette::Window},          // 10 active border
    {QPalette::Inactive, QPalette::Window},        // 11 inactive border
    {QPalette::Active, QPalette::Dark},            // 12 application workspace
    {QPalette::Active, QPalette::Highlight},       // 13 highlight
    {QPalette::Active, QPalette::HighlightedText}, // 14 highlight text
    {QPalette::Active, QPalette::Button},          // 15 button face
    {QPalette::Active, QPalette::Mid},             // 16 button shadow
    {QPalette::Disabled, QPalette::Text},          // 17 grey text
    {QPalette::Active, QPalette::ButtonText},      // 18 button text
    {QPalette::Inactive, QPalette::WindowText},    // 19 inactive caption text
    {QPalette::Active, QPalette::Light},           // 20 button highlight
    {QPalette::Active, QPalette::Shadow},          // 21 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText},     // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},     // 24 info background
    {QPalette::Active, QPalette::Window},          // 25 (unused)
    {QPalette::Active, QPalette::Link},            // 26 hot light
    {QPalette::Active, QPalette::Highlight},       // 27 gradient active caption
    {QPalette::Inactive, QPalette::Window},        // 28 gradient inactive caption
    {QPalette::Active, QPalette::Highlight},       // 29 menu highlight
    {QPalette::Active, QPalette::Window},          // 30 menu bar
};

} // namespace

QColor ResolveColor(TColor color)
{
    if ((color & 0xFF000000) == SystemColorFlag) {
        const unsigned index = color & 0xFF;
        if (index >= std::size(kSystemColors))
            return QColor(Qt::black);
        const SystemColor &s = kSystemColors[index];
        const QPalette palette = QGuiApplication::palette();
        return palette.color(s.group, s.role);
    }
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

double LogicalDpi()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            return screen->logicalDotsPerInchY();
    return 96.0;
}

} // namespace platform
