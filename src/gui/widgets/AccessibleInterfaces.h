#pragma once

namespace vellamor {

// Tells Qt's accessibility how to present the panel's own widgets: a
// LinkLabel as a link that can be pressed, an SvgPicture with a name as a
// graphic, and one without a name (pure decoration) not at all. Safe to call
// any number of times; the widgets call it themselves.
void installAccessibleInterfaces();

} // namespace vellamor
