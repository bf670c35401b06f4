// CVexaUpdaterPropPage: the control's one property page ("General"); the control has no
// properties, so the page only says so.
#pragma once

#include "framework/ole_property_page.h"

class CVexaUpdaterPropPage : public COlePropertyPage {
public:
    CVexaUpdaterPropPage();
    // The class table's create function: a new page at reference count 1.
    static IUnknown* Create();
};
