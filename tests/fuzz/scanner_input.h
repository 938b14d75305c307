// The fuzzer's bytes as the scanner's input, with the scanner and the text
// sections started afresh for each input.
#ifndef FUZZ_SCANNER_INPUT_H
#define FUZZ_SCANNER_INPUT_H

#include "frontend/scanner.h"
#include "output/section_files.h"

#include <cstdint>
#include <cstdio>
#include <vector>

class scannerInput {
public:
    // A token of 8192 characters or more ends the compiler by design; inputs
    // below that size cannot hold one, so only those are opened.
    scannerInput(const uint8_t* data, size_t size)
    {
        if (size == 0 || size >= 8192)
            return;
        bytes_.assign(data, data + size);
        file_ = fmemopen(bytes_.data(), bytes_.size(), "r");
        if (!file_)
            return;
        yyin = file_;
        resetScanner();
        leadingTextSection.reopen();
        trailingTextSection.reopen();
    }
    ~scannerInput()
    {
        if (file_)
            std::fclose(file_);
    }
    scannerInput(const scannerInput&) = delete;
    scannerInput& operator=(const scannerInput&) = delete;

    // False for an input that is not scanned.
    bool opened() const { return file_ != nullptr; }

private:
    std::vector<uint8_t> bytes_;
    FILE* file_ = nullptr;
};

#endif
