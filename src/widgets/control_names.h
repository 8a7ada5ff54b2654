#pragma once
// The object names of the window's controls and dialogs, defined once: the
// code that makes a control names it from here, and tests and the screenshot
// tool find it by the same constant. Names are unique within one window (the
// main window counts its embedded maintenance page as part of itself).
#include <QString>
#include <QWidget>

namespace korvane {

namespace main_window_names {
inline constexpr char kWindow[] = "mainWindow";
inline constexpr char kPageList[] = "pageList";
inline constexpr char kPreviousPageButton[] = "previousPageButton";
inline constexpr char kNextPageButton[] = "nextPageButton";
inline constexpr char kLinkDisplayGroup[] = "linkDisplayGroup";
inline constexpr char kLinkModeLabel[] = "linkModeLabel";
inline constexpr char kLinkAddressLabel[] = "linkAddressLabel";
inline constexpr char kLinkPortLabel[] = "linkPortLabel";
inline constexpr char kLinkComLabel[] = "linkComLabel";
inline constexpr char kLinkSettingsButton[] = "linkSettingsButton";
inline constexpr char kAboutButton[] = "aboutButton";
inline constexpr char kAboutAction[] = "aboutAction";
inline constexpr char kLanguageChoice[] = "languageChoice";
inline constexpr char kPageArea[] = "pageArea";
}  // namespace main_window_names

namespace maintenance_page_names {
inline constexpr char kPage[] = "maintenancePage";
inline constexpr char kAddressGroup[] = "addressGroup";
inline constexpr char kLinkModeChoice[] = "linkModeChoice";
inline constexpr char kComPortChoice[] = "comPortChoice";
inline constexpr char kLinkIpEdit[] = "linkIpEdit";
inline constexpr char kLinkPortEdit[] = "linkPortEdit";
inline constexpr char kPanelIpEdit[] = "panelIpEdit";
inline constexpr char kPanelPortEdit[] = "panelPortEdit";
inline constexpr char kGetAddressButton[] = "getAddressButton";
inline constexpr char kNewIpEdit[] = "newIpEdit";
inline constexpr char kNewPortEdit[] = "newPortEdit";
inline constexpr char kGatewayEdit[] = "gatewayEdit";
inline constexpr char kMaskEdit[] = "maskEdit";
inline constexpr char kSetAddressButton[] = "setAddressButton";
inline constexpr char kMacGroup[] = "macGroup";
inline constexpr char kChangeMacButton[] = "changeMacButton";
inline constexpr char kClockGroup[] = "clockGroup";
inline constexpr char kPanelClockEdit[] = "panelClockEdit";
inline constexpr char kGetClockButton[] = "getClockButton";
inline constexpr char kNewDateEdit[] = "newDateEdit";
inline constexpr char kNewTimeEdit[] = "newTimeEdit";
inline constexpr char kSetClockButton[] = "setClockButton";
inline constexpr char kFlashGroup[] = "flashGroup";
inline constexpr char kBootLoaderButton[] = "bootLoaderButton";
inline constexpr char kKernelButton[] = "kernelButton";
inline constexpr char kLogoButton[] = "logoButton";
inline constexpr char kEraseButton[] = "eraseButton";
inline constexpr char kMoreButton[] = "moreButton";
inline constexpr char kEndDownloadAction[] = "endDownloadAction";
inline constexpr char kEnterDownloadAction[] = "enterDownloadAction";
inline constexpr char kFileSystemAction[] = "fileSystemAction";
inline constexpr char kRunProgressBar[] = "runProgressBar";
inline constexpr char kCancelButton[] = "cancelButton";
inline constexpr char kRunFiguresLabel[] = "runFiguresLabel";
}  // namespace maintenance_page_names

namespace batch_page_names {
inline constexpr char kPage[] = "batchPage";
inline constexpr char kPanelsGroup[] = "batchPanelsGroup";
inline constexpr char kAddEdit[] = "batchAddEdit";
inline constexpr char kAddButton[] = "batchAddButton";
inline constexpr char kPasteButton[] = "batchPasteButton";
inline constexpr char kRangeEdit[] = "batchRangeEdit";
inline constexpr char kFindButton[] = "batchFindButton";
inline constexpr char kPanels[] = "batchPanels";
inline constexpr char kRemoveButton[] = "batchRemoveButton";
inline constexpr char kClearButton[] = "batchClearButton";
inline constexpr char kStepsGroup[] = "batchStepsGroup";
inline constexpr char kBootLoaderCheck[] = "batchBootLoaderCheck";
inline constexpr char kBootLoaderFileEdit[] = "batchBootLoaderFileEdit";
inline constexpr char kBootLoaderBrowseButton[] = "batchBootLoaderBrowseButton";
inline constexpr char kKernelCheck[] = "batchKernelCheck";
inline constexpr char kKernelFileEdit[] = "batchKernelFileEdit";
inline constexpr char kKernelBrowseButton[] = "batchKernelBrowseButton";
inline constexpr char kFileSystemCheck[] = "batchFileSystemCheck";
inline constexpr char kFileSystemFileEdit[] = "batchFileSystemFileEdit";
inline constexpr char kFileSystemBrowseButton[] = "batchFileSystemBrowseButton";
inline constexpr char kLogoCheck[] = "batchLogoCheck";
inline constexpr char kLogoPictureEdit[] = "batchLogoPictureEdit";
inline constexpr char kLogoBrowseButton[] = "batchLogoBrowseButton";
inline constexpr char kLogoModelChoice[] = "batchLogoModelChoice";
inline constexpr char kClockCheck[] = "batchClockCheck";
inline constexpr char kStartButton[] = "batchStartButton";
inline constexpr char kCancelButton[] = "batchCancelButton";
inline constexpr char kExportButton[] = "batchExportButton";
inline constexpr char kStatusLabel[] = "batchStatus";
inline constexpr char kSummaryLabel[] = "batchSummary";
// Each row's bar: kRowProgressBar followed by the row number from 1.
inline constexpr char kRowProgressBar[] = "batchRowProgressBar";
}  // namespace batch_page_names

namespace link_settings_names {
inline constexpr char kDialog[] = "linkSettingsDialog";
inline constexpr char kLinkChoiceGroup[] = "linkChoiceGroup";
inline constexpr char kNetworkRadio[] = "networkRadio";
inline constexpr char kSerialRadio[] = "serialRadio";
inline constexpr char kUsbRadio[] = "usbRadio";
inline constexpr char kParametersGroup[] = "parametersGroup";
inline constexpr char kIpEdit[] = "ipEdit";
inline constexpr char kPortEdit[] = "portEdit";
inline constexpr char kComChoice[] = "comChoice";
inline constexpr char kComDeviceLabel[] = "comDeviceLabel";
inline constexpr char kFindPanelsButton[] = "findPanelsButton";
inline constexpr char kFoundPanelsList[] = "foundPanelsList";
inline constexpr char kFindProgressBar[] = "findProgressBar";
inline constexpr char kFindStatusLabel[] = "findStatusLabel";
inline constexpr char kOkButton[] = "okButton";
inline constexpr char kCancelButton[] = "cancelButton";
}  // namespace link_settings_names

namespace logo_picker_names {
inline constexpr char kDialog[] = "logoPickerDialog";
inline constexpr char kPreview[] = "logoPreview";
inline constexpr char kSelectPictureButton[] = "selectPictureButton";
inline constexpr char kBackgroundButton[] = "backgroundButton";
inline constexpr char kPanelTypeChoice[] = "panelTypeChoice";
inline constexpr char kOkButton[] = "okButton";
inline constexpr char kCancelButton[] = "cancelButton";
}  // namespace logo_picker_names

namespace about_names {
inline constexpr char kDialog[] = "aboutDialog";
inline constexpr char kIconLabel[] = "iconLabel";
inline constexpr char kProgramNameLabel[] = "programNameLabel";
inline constexpr char kVersionLabel[] = "versionLabel";
inline constexpr char kOkButton[] = "okButton";
}  // namespace about_names

namespace progress_popup_names {
inline constexpr char kPopup[] = "progressPopup";
inline constexpr char kMessageLabel[] = "messageLabel";
inline constexpr char kProgressBar[] = "progressBar";
inline constexpr char kCancelButton[] = "cancelButton";
}  // namespace progress_popup_names

// Every resizable dialog's gripper.
inline constexpr char kSizeGripName[] = "sizeGrip";

// The descendant of `parent` named `name` with type T, or nullptr.
template <class T>
T* FindControl(const QWidget* parent, const char* name) {
    return parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

}  // namespace korvane
