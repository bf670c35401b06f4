#include "control/vexa_updater_proppage.h"

#include <new>

#include "res/resource.h"

CVexaUpdaterPropPage::CVexaUpdaterPropPage() : COlePropertyPage(IDD_PROPPAGE_VEXAUPDATER) {}

IUnknown* CVexaUpdaterPropPage::Create()
{
    return new (std::nothrow) CVexaUpdaterPropPage;
}
