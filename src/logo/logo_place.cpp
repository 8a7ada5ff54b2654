#include "logo/logo_place.h"

#include "logo/logo_file.h"
#include "system/atomic_file.h"

namespace korvane {

namespace fs = std::filesystem;

bool CanCreateFileIn(const fs::path& folder) {
    // The writer makes its temporary file as the logo writer does; it is
    // removed again when the writer goes, as nothing is committed.
    const AtomicFileWriter probe(folder / "korvane-write-check");
    return probe.opened();
}

fs::path PictureFolder(const fs::path& picture) {
    return picture.has_parent_path() ? picture.parent_path() : fs::path(".");
}

fs::path ChooseLogoPath(const fs::path& picture, bool picture_folder_writable,
                        const fs::path& fallback_folder) {
    if (picture_folder_writable)
        return LogoPathFor(picture);
    return LogoPathFor(fallback_folder / picture.filename());
}

}  // namespace korvane
