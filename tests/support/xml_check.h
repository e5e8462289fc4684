#pragma once
// Well-formedness checks of written XML (SVG pictures) through xmllint.

#include <string>

#include <gtest/gtest.h>

// Success when `xmllint --noout` parses the file without error; otherwise a failure
// naming the file and holding xmllint's messages.
testing::AssertionResult is_well_formed_xml_file(const std::string& path);

// The same for a text, written to a temporary file first.
testing::AssertionResult is_well_formed_xml_text(const std::string& text);
