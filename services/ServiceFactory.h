#pragma once

#include "platform/RuntimeError.h"
#include "services/DeveloperServices.h"

#include <memory>
#include <type_traits>

namespace globalstab {

// A developer service from the provider; raises 429 when it cannot be created, as a
// service whose object cannot be created does.
template <typename Service> std::unique_ptr<Service> createService(ServiceProvider* provider)
{
    std::unique_ptr<Service> service;
    if (provider) {
        if constexpr (std::is_same_v<Service, DeveloperSettingsService>)
            service = provider->createDeveloperSettingsService();
        else if constexpr (std::is_same_v<Service, ProjectRankService>)
            service = provider->createProjectRankService();
        else if constexpr (std::is_same_v<Service, GlobalBookService>)
            service = provider->createGlobalBookService();
        else if constexpr (std::is_same_v<Service, FileCopyService>)
            service = provider->createFileCopyService();
        else if constexpr (std::is_same_v<Service, BookEntryService>)
            service = provider->createBookEntryService();
        else if constexpr (std::is_same_v<Service, BookCategoryService>)
            service = provider->createBookCategoryService();
    }
    if (!service)
        raiseError(rt::CannotCreateObject,
                   QStringLiteral("Can't create object: the developer service is not available"));
    return service;
}

} // namespace globalstab
