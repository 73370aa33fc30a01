#pragma once

class QWidget;

// Saves a picture of `widget` as NAME.png into the folder named by KORVEL_SCREENSHOT_DIR, if it is
// set: pictures for a person to look at, never a condition of a test.
void save_screenshot(QWidget& widget, const char* name);
