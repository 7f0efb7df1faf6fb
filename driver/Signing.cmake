# SPDX-License-Identifier: GPL-3.0-or-later
# Test signing of Bridgewick's images: an Authenticode signature embedded in
# each image with osslsigncode, made with the test key and certificate kept
# in driver/signing/ (see the README there). Windows loads such an image only
# in test mode, with the certificate trusted; a release needs a signature
# from a real code signing authority.
#
# Every signature is dated FQ_SOURCE_DATE_EPOCH, the sources' date, and an
# RSA signature of the same bytes with the same key is the same, so two
# builds of one commit sign alike.
#
#   driver/signing/BridgewickTest.key         the key (in the sources; never shipped)
#   driver/signing/BridgewickTest.crt         the certificate (PEM, for osslsigncode)
#   build/driver/BridgewickTest.cer           the certificate (DER, for Windows): FQ_BRIDGEWICK_CER
#
# Target bridgewick_signed stands for everything signed: both images, the
# certificate and the x64 package's catalog.
find_program(FQ_OPENSSL openssl)
find_program(FQ_OSSLSIGNCODE osslsigncode)

set(_signing ${CMAKE_CURRENT_SOURCE_DIR}/signing)
set(FQ_BRIDGEWICK_TEST_KEY ${_signing}/BridgewickTest.key CACHE INTERNAL "")
set(FQ_BRIDGEWICK_TEST_CRT ${_signing}/BridgewickTest.crt CACHE INTERNAL "")

if(NOT EXISTS ${FQ_BRIDGEWICK_TEST_KEY} OR NOT EXISTS ${FQ_BRIDGEWICK_TEST_CRT})
  set(FQ_DRIVER_SIGNED OFF CACHE INTERNAL "")
  unset(FQ_BRIDGEWICK_CER CACHE)
  message(WARNING "${FQ_BRIDGEWICK_TEST_KEY} or ${FQ_BRIDGEWICK_TEST_CRT} is missing: Bridgewick's images "
                  "are not signed (driver/signing/MakeTestCertificate.sh makes a new pair)")
elseif(FQ_OPENSSL AND FQ_OSSLSIGNCODE)
  set(FQ_DRIVER_SIGNED ON CACHE INTERNAL "")
  set(FQ_BRIDGEWICK_CER ${CMAKE_BINARY_DIR}/driver/BridgewickTest.cer CACHE INTERNAL "")
  add_custom_command(
    OUTPUT ${FQ_BRIDGEWICK_CER}
    COMMAND ${FQ_OPENSSL} x509 -in ${FQ_BRIDGEWICK_TEST_CRT} -outform DER -out ${FQ_BRIDGEWICK_CER}
    DEPENDS ${FQ_BRIDGEWICK_TEST_CRT}
    COMMENT "Writing the test signing certificate of Bridgewick for Windows"
    VERBATIM)
  add_custom_target(bridgewick_test_certificate DEPENDS ${FQ_BRIDGEWICK_CER})
else()
  set(FQ_DRIVER_SIGNED OFF CACHE INTERNAL "")
  unset(FQ_BRIDGEWICK_CER CACHE)
  message(STATUS "openssl or osslsigncode not found: Bridgewick's images are not signed")
endif()

# Signs Unsigned into Signed (a plain copy without the tools): an image, or
# an unsigned catalog, which osslsigncode recognises by its content.
function(fq_sign_driver Unsigned Signed Description)
  if(FQ_DRIVER_SIGNED)
    add_custom_command(
      OUTPUT ${Signed}
      COMMAND ${CMAKE_COMMAND} -E rm -f ${Signed}
      COMMAND ${FQ_OSSLSIGNCODE} sign -certs ${FQ_BRIDGEWICK_TEST_CRT} -key ${FQ_BRIDGEWICK_TEST_KEY}
              -h sha256 -n ${Description} -time ${FQ_SOURCE_DATE_EPOCH} -in ${Unsigned} -out ${Signed}
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
