#pragma once

namespace vellamor {

// Tells Qt's accessibility how to present the panel's own widgets: a
// LinkLabel as a link that can be pressed, an SvgPicture with a name as a
// graphic, and one without a name (pure decoration) not at all, a DigitsField
// as the digits typed into it, a notebook without its hidden tab bar, and a
// plain widget that is a window of its own as a window. Safe to call any
// number of times; the widgets call it themselves.
void installAccessibleInterfaces();

} // namespace vellamor
