; SPDX-License-Identifier: GPL-3.0-or-later
;; Start-up code of the Game Boy runtime: restart and interrupt vectors, the
;; cartridge header (finished on the host after linking), then the entry
;; that clears work RAM, keeps the console type byte the boot ROM leaves in
;; A, copies initialised data into RAM and calls main.

	.module crt0
	.globl	_main
	.globl	_ConsoleType
	.globl	_FontLoad

	;; Order of the areas in the image; everything the program needs stays
	;; in the fixed 16 KiB bank at 0x0000 because the window at 0x4000 is
	;; switched while the card is being walked.
	.area	_CODE
	.area	_HOME
	.area	_INITIALIZER
	.area	_GSINIT
	.area	_GSFINAL
	.area	_DATA
	.area	_INITIALIZED
	.area	_BSEG
	.area	_BSS
	.area	_HEAP

	.area	_HEADER (ABS)

	;; Restart vectors: nothing uses them; each returns at once.
	.org	0x0000
	ret
	.org	0x0008
	ret
	.org	0x0010
	ret
	.org	0x0018
	ret
	.org	0x0020
	ret
	.org	0x0028
	ret
	.org	0x0030
	ret
	.org	0x0038
	ret

	;; Interrupt vectors: interrupts stay disabled, but a stray one returns.
	.org	0x0040
	reti
	.org	0x0048
	reti
	.org	0x0050
	reti
	.org	0x0058
	reti
	.org	0x0060
	reti

	;; Cartridge header. The logo must be exact or the boot ROM stops;
	;; title, codes and checksums are written by the host-side finishing
	;; step, so only zeros stand here.
	.org	0x0100
	nop
	jp	start
	.db	0xCE,0xED,0x66,0x66,0xCC,0x0D,0x00,0x0B
	.db	0x03,0x73,0x00,0x83,0x00,0x0C,0x00,0x0D
	.db	0x00,0x08,0x11,0x1F,0x88,0x89,0x00,0x0E
	.db	0xDC,0xCC,0x6E,0xE6,0xDD,0xDD,0xD9,0x99
	.db	0xBB,0xBB,0x67,0x63,0x6E,0x0E,0xEC,0xCC
	.db	0xDD,0xDC,0x99,0x9F,0xBB,0xB9,0x33,0x3E
	.ds	0x0150 - 0x0134

	;; The entry comes first in the code, which the link places at 0x0150.
	.area	_CODE
start:
	di
	ld	sp, #0xE000
	ld	d, a			; console type byte, kept across the RAM clear

	;; Zero all of work RAM, so every variable starts from 0.
	ld	hl, #0xC000
	ld	bc, #0x2000
1$:
	xor	a
	ld	(hl+), a
	dec	bc
	ld	a, b
	or	c
	jr	nz, 1$

	ld	a, d
	ld	(_ConsoleType), a

	;; The font goes into tile memory while the display is still off.
	call	_DisplayOff
	call	_FontLoad

	call	gsinit
	call	_main
2$:
	halt
	nop
	jr	2$

;; Turns the display off, waiting for the vertical blank first: switching it
;; off in the middle of a frame can harm the panel of a real console.
_DisplayOff::
	ldh	a, (0x40)
	bit	7, a
	ret	z
3$:
	ldh	a, (0x44)
	cp	#144
	jr	c, 3$
	ldh	a, (0x40)
	res	7, a
	ldh	(0x40), a
	ret

	.area	_GSINIT
gsinit::
	;; Initialised variables: copy their values from ROM into RAM.
	ld	bc, #l__INITIALIZER
	ld	a, b
	or	c
	jr	z, 5$
	ld	de, #s__INITIALIZED
	ld	hl, #s__INITIALIZER
4$:
	ld	a, (hl+)
	ld	(de), a
	inc	de
	dec	bc
	ld	a, b
	or	c
	jr	nz, 4$
5$:

	.area	_GSFINAL
	ret

	.area	_DATA
_ConsoleType::
	.ds	1
