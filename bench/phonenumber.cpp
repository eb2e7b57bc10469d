// The comparison of the batch benchmark: Google's libphonenumber offline
// geocoder on the same input, one number per line, its answer written as
// "number<TAB>description" lines, in Chinese as the batch lookup answers.
//
//   bench_phonenumber [numbers.txt] > answers.tsv     (default: standard input)
#include <phonenumbers/geocoding/phonenumber_offline_geocoder.h>
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>
#include <unicode/locid.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  using i18n::phonenumbers::PhoneNumber;
  using i18n::phonenumbers::PhoneNumberOfflineGeocoder;
  using i18n::phonenumbers::PhoneNumberUtil;

  std::ios::sync_with_stdio(false);
  std::ifstream file;
  if (argc > 1) {
    file.open(argv[1]);
    if (!file) {
      std::fprintf(stderr, "bench_phonenumber: cannot read %s\n", argv[1]);
      return 1;
    }
  }
  std::istream& in = argc > 1 ? static_cast<std::istream&>(file) : std::cin;
  const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
  const PhoneNumberOfflineGeocoder geocoder;
  const icu::Locale chinese("zh", "CN");

  std::string line;
  std::string out;
  PhoneNumber number;
  while (std::getline(in, line)) {
    out += line;
    out += '\t';
    if (util.Parse(line, "CN", &number) == PhoneNumberUtil::NO_PARSING_ERROR) {
      out += geocoder.GetDescriptionForNumber(number, chinese);
    }
    out += '\n';
    if (out.size() >= (256 << 10)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
