// Page removal: drops pages from their container. With a positive
// "THRESHOLD" every page whose image file is at most that many bytes; with 0
// the first page of each container (a token on the container remembers it).
// A removed page leaves its container, its files are deleted, a status
// message says why and Process answers VARIANT_FALSE. Never touches pixels;
// one file-system call per page plus one deletion per removed file.
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

#include <string>

inline constexpr CLSID CLSID_ZRPageRemoval = MakeGuid("{C1C3C063-D4C3-4A9F-904D-D5C2AF456260}");

class CZRPageRemoval : public ProcessClass<CZRPageRemoval, ProcessExImpl<CLSID_ZRPageRemoval>> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;

    // Adds a message of type 3 with this process's name and `text` to the
    // page's status messages; a page without a list gets none.
    void postStatusMessage(IZRPage* page, const std::u16string& text);
    // Deletes the files of the page's image and of its three part objects.
    // A file that is the page's container's own file (the document the host
    // read, shared by all its pages) is never deleted.
    void deletePageFiles(IZRPage* page);

private:
    void RemoveByThreshold(IZRPage* page, LONG number, LONG threshold, const std::string& imagePath,
                           VARIANT_BOOL* result);
    void RemoveFirstPage(IZRPage* page, LONG number, VARIANT_BOOL* result);
};
