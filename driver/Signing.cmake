# SPDX-License-Identifier: GPL-3.0-or-later
# Test signing of Bridgewick's images: the build makes a self-signed code
# signing certificate with openssl (its key never leaves the build folder)
# and embeds an Authenticode signature in each image with osslsigncode.
# Windows loads such an image only in test mode, with the certificate
# trusted; a release needs a signature from a real code signing authority.
#
#   build/driver/signing/BridgewickTest.key   the key (never shipped)
#   build/driver/signing/BridgewickTest.crt   the certificate (PEM, for osslsigncode)
#   build/driver/BridgewickTest.cer           the certificate (DER, for Windows): FQ_BRIDGEWICK_CER
#
# Target bridgewick_signed stands for everything signed: both images, the
# certificate and the x64 package's catalog.
find_program(FQ_OPENSSL openssl)
find_program(FQ_OSSLSIGNCODE osslsigncode)

set(_signing ${CMAKE_BINARY_DIR}/driver/signing)
set(FQ_BRIDGEWICK_TEST_KEY ${_signing}/BridgewickTest.key CACHE INTERNAL "")
set(FQ_BRIDGEWICK_TEST_CRT ${_signing}/BridgewickTest.crt CACHE INTERNAL "")

if(FQ_OPENSSL AND FQ_OSSLSIGNCODE)
  set(FQ_DRIVER_SIGNED ON CACHE INTERNAL "")
  set(FQ_BRIDGEWICK_CER ${CMAKE_BINARY_DIR}/driver/BridgewickTest.cer CACHE INTERNAL "")
  add_custom_command(
    OUTPUT ${FQ_BRIDGEWICK_TEST_KEY} ${FQ_BRIDGEWICK_TEST_CRT} ${FQ_BRIDGEWICK_CER}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_signing}
    COMMAND ${FQ_OPENSSL} req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650
            -subj "/CN=Bridgewick Test Signing/O=Flashquill"
            -addext "basicConstraints=critical,CA:FALSE"
            -addext "keyUsage=critical,digitalSignature"
            -addext "extendedKeyUsage=codeSigning"
            -keyout ${FQ_BRIDGEWICK_TEST_KEY} -out ${FQ_BRIDGEWICK_TEST_CRT}
    COMMAND ${FQ_OPENSSL} x509 -in ${FQ_BRIDGEWICK_TEST_CRT} -outform DER -out ${FQ_BRIDGEWICK_CER}
    COMMENT "Creating the test signing certificate of Bridgewick"
    VERBATIM)
  add_custom_target(bridgewick_test_certificate DEPENDS ${FQ_BRIDGEWICK_CER})
else()
  set(FQ_DRIVER_SIGNED OFF CACHE INTERNAL "")
  unset(FQ_BRIDGEWICK_CER CACHE)
  message(STATUS "openssl or osslsigncode not found: Bridgewick's images are not signed")
endif()

# Signs Unsigned into Signed (a plain copy without the tools).
function(fq_sign_driver Unsigned Signed Description)
  if(FQ_DRIVER_SIGNED)
    add_custom_command(
      OUTPUT ${Signed}
      COMMAND ${CMAKE_COMMAND} -E rm -f ${Signed}
      COMMAND ${FQ_OSSLSIGNCODE} sign -certs ${FQ_BRIDGEWICK_TEST_CRT} -key ${FQ_BRIDGEWICK_TEST_KEY}
              -h sha256 -n ${Description} -in ${Unsigned} -out ${Signed}
      DEPENDS ${Unsigned} ${FQ_BRIDGEWICK_TEST_CRT} ${FQ_BRIDGEWICK_TEST_KEY}
      COMMENT "Test-signing ${Description}"
      VERBATIM)
  else()
    add_custom_command(
      OUTPUT ${Signed}
      COMMAND ${CMAKE_COMMAND} -E copy ${Unsigned} ${Signed}
      DEPENDS ${Unsigned}
      COMMENT "Copying ${Description} (unsigned)"
      VERBATIM)
  endif()
endfunction()
