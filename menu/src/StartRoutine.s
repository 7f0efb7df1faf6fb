; SPDX-License-Identifier: GPL-3.0-or-later
;; StartRoutine: switches the card over to the chosen game and starts it.
;; LaunchGame copies these 160 bytes to work RAM and jumps there, because
;; the menu's own ROM leaves the address space halfway through; so nothing
;; here may refer to its own addresses: relative jumps only.
;;
;; In:  0xC003 the game's first 32 KiB slot; _ConsoleType the boot ROM's A.

	.module startroutine
	.globl	_ConsoleType

	.area	_CODE

_StartRoutine::
	di
	xor	a
	ldh	(0xFF), a		; no interrupt may reach the menu's vectors
	ld	a, #0x0A
	ld	(0x0000), a
	ld	a, (0xC003)
	add	a, a			; the slot's first 16 KiB bank, 8 bits
	ld	(0x2000), a
	ld	a, #0xA5		; open the update: the card takes that bank
	ld	(0x1000), a		; as the game's start

	;; The game's header, seen through the bank window.
	ld	a, (0x4148)
	ld	b, a			; ROM size code
	ld	a, (0x4149)
	ld	c, a			; RAM size code

	;; Size bits: (code AND 7) XOR 7 below 0x0F, so codes 0-7 give 7 down
	;; to 0 (32 KiB ... 4 MiB); 0x0F and above give 1 (2 MiB).
	ld	a, b
	cp	#0x0F
	jr	nc, 1$
	and	#0x07
	xor	#0x07
	jr	2$
1$:
	ld	a, #0x01
2$:
	ld	d, a

	;; Save bits: no RAM 0x30, 2 KiB 0x20, then ((code - 1) XOR 3) << 4.
	ld	a, c
	or	a
	jr	nz, 3$
	ld	a, #0x30
	jr	5$
3$:
	cp	#0x01
	jr	nz, 4$
	ld	a, #0x20
	jr	5$
4$:
	dec	a
	xor	#0x03
	swap	a
	and	#0x30
5$:
	or	d
	ld	(0x7000), a		; configuration byte
	ld	a, #0x98		; close the update: the card is now the game
	ld	(0x1000), a
	ld	a, #0x0A
	ld	(0x0000), a

	;; Display off, in the vertical blank.
	ldh	a, (0x40)
	bit	7, a
	jr	z, 7$
6$:
	ldh	a, (0x44)
	cp	#144
	jr	c, 6$
7$:
	xor	a
	ldh	(0x40), a

	;; The game finds video RAM cleared, as after power-on.
	ld	hl, #0x8000
8$:
	ldh	a, (0x41)
	and	#0x02
	jr	nz, 8$
	xor	a
	ld	(hl+), a
	ld	a, h
	cp	#0xA0
	jr	nz, 8$

	ld	a, #0x91
	ldh	(0x40), a
9$:
	ldh	a, (0x41)
	bit	0, a
	jr	nz, 9$
10$:
	ldh	a, (0x41)
	bit	0, a
	jr	z, 10$

	ld	sp, #0xFFFE
	ld	a, (_ConsoleType)
	jp	0x0100

_StartRoutineEnd::
	.ds	160 - (_StartRoutineEnd - _StartRoutine)
