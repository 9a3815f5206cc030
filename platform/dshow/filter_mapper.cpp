// The filter mapper's records, kept in the registry:
//
//   CLSID\{category}\Instance\{clsid}    FriendlyName, CLSID, Merit
//     Pins\0, Pins\1, ...                Name, Rendered, Output, ZeroInstances,
//                                        Many, ConnectsToFilter, ConnectsToPin
//       Types\0, Types\1, ...            MajorType, SubType
#include <string>

#include "com/registry.h"
#include "setup.h"

std::string FilterRecordKeyPath(REFCLSID category, REFCLSID clsid)
{
    return ClassKeyPath(category) + "\\Instance\\" + GuidToString(clsid);
}

HRESULT FilterMapperRegister(REFCLSID category, const AMOVIESETUP_FILTER& filter)
{
    if (filter.clsID == nullptr || (filter.nPins > 0 && filter.lpPin == nullptr))
        return E_POINTER;
    return RegistryUpdate([&](RegKey& root) -> HRESULT {
        std::string path = FilterRecordKeyPath(category, *filter.clsID);
        root.Delete(path);
        RegKey* record = root.Create(path);
        if (record == nullptr)
            return E_INVALIDARG;
        record->SetString("FriendlyName", filter.strName ? filter.strName : "");
        record->SetString("CLSID", GuidToString(*filter.clsID));
        record->SetDword("Merit", filter.dwMerit);
        for (unsigned p = 0; p < filter.nPins; ++p) {
            const AMOVIESETUP_PIN& pin = filter.lpPin[p];
            RegKey* key = record->Create("Pins\\" + std::to_string(p));
            key->SetString("Name", pin.strName ? pin.strName : "");
            key->SetDword("Rendered", pin.bRendered != 0);
            key->SetDword("Output", pin.bOutput != 0);
            key->SetDword("ZeroInstances", pin.bZero != 0);
            key->SetDword("Many", pin.bMany != 0);
            key->SetString("ConnectsToFilter",
                           GuidToString(pin.clsConnectsToFilter ? *pin.clsConnectsToFilter
                                                                : CLSID_NULL));
            key->SetString("ConnectsToPin", pin.strConnectsToPin ? pin.strConnectsToPin : "");
            if (pin.nMediaTypes > 0 && pin.lpMediaType == nullptr)
                return E_POINTER;
            for (unsigned t = 0; t < pin.nMediaTypes; ++t) {
                const AMOVIESETUP_MEDIATYPE& type = pin.lpMediaType[t];
                RegKey* typeKey = key->Create("Types\\" + std::to_string(t));
                typeKey->SetString("MajorType",
                                   GuidToString(type.clsMajorType ? *type.clsMajorType : GUID_NULL));
                typeKey->SetString("SubType",
                                   GuidToString(type.clsMinorType ? *type.clsMinorType : GUID_NULL));
            }
        }
        return S_OK;
    });
}

HRESULT FilterMapperUnregister(REFCLSID category, REFCLSID clsid)
{
    return RegistryUpdate([&](RegKey& root) -> HRESULT {
        return root.Delete(FilterRecordKeyPath(category, clsid))
                   ? S_OK
                   : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    });
}
