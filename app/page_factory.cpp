#include "app/page_factory.h"

#include "pages/kit/page.h"

namespace app {

QWidget* CreatePage(int kind, devlink::DeviceLink& link, int variant, QWidget* parent) {
  if (QWidget* page = CreateFamilyPage(kind, link, variant, parent)) return page;
  return new pages::Page(link, variant, parent);
}

}  // namespace app
