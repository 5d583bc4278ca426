#pragma once

class QLabel;
class QString;

namespace accessibility {

// Makes `label`, which shows a value (a count, a date, an example name), read by its value:
// its accessible name is the text it shows, `caption` becomes its description, and assistive
// technology reads the text through the text interface.
void markValueLabel(QLabel* label, const QString& caption);

} // namespace accessibility
